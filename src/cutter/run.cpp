#include "cutter/run.h"

#include "cutter/cut_file.h"
#include "cutter/identify.h"
#include "cutter/plans.h"

namespace {

// "を認識しました.\n", after the disk's name and a space: "Disk A を認識しました.\n"
const char recognisedSuffix[] =
    " \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n";

// "ファイルをオープンできません.\n"
const char openFailureMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x83\x49\x81\x5b\x83\x76\x83\x93"
    "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.\n";

// Said after the open failure when the argument looks like an option: the
// tool takes none, and a newcomer who typed --help should learn where help is.
const char optionHint[] =
    "d88cut takes one argument, the D88 file; see d88cut(1), or run d88scan --help\n";

const char fallbackProgramName[] = "d88cut";

void recognise(CutRun& run, const LabelTest& test)
{
    if (test.finding != LabelFinding::Disk)
        return;
    say(run, diskKindName(test.kind) + std::string(recognisedSuffix));
    runPlan(run, test.kind);
}

void processImage(CutRun& run, int32_t index)
{
    if (!selectSetImage(run.reader, index))
        return;
    // The disk the first test names is cut before the second test reads
    // its label sector; the second is made whatever the first found.
    recognise(run, firstLabelTest(run.reader));
    recognise(run, secondLabelTest(run.reader));
}

}  // namespace

int run(D88Reader& reader, int argc, const char* const argv[], std::ostream& out,
        std::ostream& err, const char* shownName)
{
    if (argc != 2) {
        const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackProgramName;
        err << "Usage: " << program << " [d88file]\n";
        return 1;
    }
    if (!reader.open(argv[1])) {
        err << openFailureMessage;
        if (argv[1][0] == '-')
            err << optionHint;
        return 1;
    }

    // A stream that failed in an earlier run of this process says nothing
    // of this one.
    out.clear();
    CutRun cut{reader, out, err, platform::fileId(argv[1]), 0, false, {}};
    for (int32_t index = 0; index < reader.imageCount(); ++index)
        processImage(cut, index);
    if (reader.imagesLeftOut())
        err << "warning: only the first " << D88Reader::maxImages << " images of "
            << (shownName != nullptr ? shownName : argv[1]) << " are read\n";

    // A full disk or a reader gone away behind stdout never stops the
    // cutting; the files are all written by now. Only the messages are
    // lost, and the status must not hide that.
    out.flush();
    if (!out) {
        if (cut.outFailure.empty())
            cut.outFailure = platform::lastError();
        err << "error: the messages could not be written to standard output: "
            << cut.outFailure << '\n';
        return 1;
    }
    return cut.failedOutputs == 0 ? 0 : 1;
}
