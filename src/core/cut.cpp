#include "core/cut.h"

#include <string>

#include "core/findings.h"

namespace {

// A leftover under the temporary name is cleared and the name tried again;
// someone who keeps putting things there gets this many tries, then an
// error, never a write through what they put.
constexpr int createTries = 4;

// Why writing a file failed: the system's words, whether it was making
// the new file in the folder that failed, or whether the temporary name
// turned out to be the D88 file itself.
struct WriteFailure {
    std::string why;
    bool creating = false;
    bool temporaryIsInput = false;
};

// Writes the file whole or not at all. The bytes go to a file of its own
// beside the final one, made afresh for this write, and take the final
// name in one step (a rename, or a swap with the earlier file) only when
// every byte is out and the file is closed, so the name holds its earlier
// file or the new one, whole, whatever stops the run: a full disk, a
// file-size limit, a kill. A link of the name is replaced by the new file,
// not written through; a directory of the name stays, and is reported.
bool writeFile(const char* name, const std::string& temporary, const uint8_t* data,
               int32_t size, const platform::FileId& input, WriteFailure& failure)
{
    platform::Create made = platform::Create::Taken;
    for (int tries = 0; tries < createTries && made == platform::Create::Taken; ++tries) {
        made = platform::createFile(temporary.c_str(), data, size);
        if (made != platform::Create::Taken)
            break;
        // Whatever stands under the temporary name is a killed run's
        // leftover, or was put there to be written through. A plain file
        // or a link goes (the link itself, not what it names); anything
        // else is in the way. Only the D88 file itself, so named, stays:
        // with it would go the disks it holds.
        if (platform::sameFile(platform::fileId(temporary.c_str()), input)) {
            failure.temporaryIsInput = true;
            return false;
        }
        if (!platform::removeFile(temporary.c_str()))
            failure.why = temporary + ": " + platform::lastError();
    }
    if (made != platform::Create::Done) {
        if (made == platform::Create::Failed)
            failure.why = platform::lastError();
        else if (failure.why.empty())
            failure.why = temporary + ": taken again each time it was cleared";
        failure.creating = true;
        return false;
    }
    if (platform::replaceFile(temporary.c_str(), name))
        return true;
    failure.why = platform::lastError();
    platform::removeFile(temporary.c_str());
    return false;
}

// Writes each file of the walk as it is read, and tells what happens.
class Cutter final : public WalkListener {
public:
    Cutter(const platform::FileId& input, const CutEvents& events)
        : input_(input), events_(events) {}

    void disk(const LabelTest& test) override
    {
        CutEvent event{CutEventKind::Recognised};
        event.disk = test.kind;
        events_(event);
    }

    void output(const OutputFindings& output, const uint8_t* bytes) override
    {
        const std::string name = output.item.name;
        if (output.early && output.item.check == VersionCheck::Announce)
            events_(CutEvent{CutEventKind::EarlyVersion});
        // Nothing at the run's first sector: no file, and nothing to say.
        if (output.runBytes == 0)
            return;
        tell(CutEventKind::Cutting, name);

        if (platform::sameFile(platform::fileId(name.c_str()), input_)) {
            tell(CutEventKind::InputInTheWay, name);
            return;
        }
        const std::string temporary = name + temporarySuffix;
        WriteFailure failure;
        if (!writeFile(name.c_str(), temporary, bytes, output.fileBytes, input_, failure)) {
            CutEvent event{failure.temporaryIsInput ? CutEventKind::InputInTheWay
                                                    : CutEventKind::WriteFailed};
            event.name = name;
            event.temporary = failure.temporaryIsInput;
            event.why = failure.why;
            event.making = failure.creating;
            events_(event);
            return;
        }
        if (output.fileBytes < output.item.length) {
            CutEvent event{CutEventKind::Incomplete};
            event.name = name;
            event.bytes = output.fileBytes;
            event.planned = output.item.length;
            events_(event);
        }
    }

private:
    void tell(CutEventKind kind, const std::string& name)
    {
        CutEvent event{kind};
        event.name = name;
        events_(event);
    }

    const platform::FileId& input_;
    const CutEvents& events_;
};

}  // namespace

void cutImages(D88Reader& reader, const platform::FileId& input, const CutEvents& events)
{
    Cutter cutter(input, events);
    ImageWalk walk(reader);
    for (int32_t index = 0; index < reader.imageCount() && !reader.readFailed(); ++index)
        walk.walk(index, false, &cutter);
    if (reader.readFailed()) {
        CutEvent event{CutEventKind::ReadFailed};
        event.why = reader.readError();
        events(event);
        return;
    }
    if (reader.imagesLeftOut())
        events(CutEvent{CutEventKind::ImagesLeftUnread});
}
