#include "report/cut_messages.h"

#include <utility>

// "ファイルをオープンできません.\n"
const char openFailureMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x83\x49\x81\x5b\x83\x76\x83\x93"
    "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.\n";

const char openFailureGloss[] = "Cannot open the file.";

const char optionHint[] =
    "d88cut takes one argument, the D88 file; see d88cut(1), or run d88scan --help\n";

namespace {

// "を認識しました.\n", after the disk's name and a space: "Disk A を認識しました.\n"
const char recognisedSuffix[] =
    " \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n";

// "これはどうやら初期バージョンっぽいです.\n"
const char earlyVersionMessage[] =
    "\x82\xb1\x82\xea\x82\xcd\x82\xc7\x82\xa4\x82\xe2\x82\xe7\x8f\x89\x8a\xfa"
    "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xc1\x82\xdb\x82\xa2\x82\xc5"
    "\x82\xb7.\n";

const char notWritten[] = " is the D88 file being read; ";

MessageLine out(std::string text)
{
    return MessageLine{Stream::out, std::move(text)};
}

MessageLine err(std::string text)
{
    return MessageLine{Stream::err, std::move(text)};
}

}  // namespace

std::string usageLine(const char* program)
{
    return "Usage: " + std::string(program) + " [d88file]\n";
}

MessageLine CutMessages::lineOf(const CutEvent& event)
{
    switch (event.kind) {
    case CutEventKind::Recognised: {
        MessageLine line = out(diskKindName(event.disk) + std::string(recognisedSuffix));
        line.gloss = diskKindName(event.disk) + std::string(" recognised.");
        return line;
    }
    case CutEventKind::EarlyVersion: {
        MessageLine line = out(earlyVersionMessage);
        line.gloss = "This seems to be an early version.";
        return line;
    }
    case CutEventKind::Cutting:
        return out("cutting ... " + event.name + '\n');
    case CutEventKind::Incomplete:
        return err("warning: " + event.name + " is incomplete: " + std::to_string(event.bytes) +
                   " of " + std::to_string(event.planned) + " bytes could be read\n");
    case CutEventKind::InputInTheWay:
        ++failedOutputs_;
        if (event.temporary)
            return err("error: " + event.name + temporarySuffix + notWritten + event.name +
                       " is not written\n");
        return err("error: " + event.name + notWritten + "it is not written\n");
    case CutEventKind::WriteFailed: {
        ++failedOutputs_;
        std::string line = "error: cannot write " + event.name + ": " + event.why;
        // A folder that refuses new files fails every output alike; the
        // first line says where the files were being made.
        if (event.making && !folderNamed_) {
            line += " (making " + event.name + temporarySuffix + " in the current folder)";
            folderNamed_ = true;
        }
        return err(line + '\n');
    }
    case CutEventKind::ImagesLeftUnread:
        return err("warning: only the first " + std::to_string(D88Reader::maxImages) +
                   " images of " + file_ + " are read\n");
    case CutEventKind::ReadFailed:
        readFailed_ = true;
        return err("error: cannot read " + file_ + ": " + event.why + '\n');
    }
    return out("");
}
