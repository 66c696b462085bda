#include "cutter/run.h"

#include <iostream>

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

const char fallbackProgramName[] = "d88cut";

void recognise(D88Reader& reader, const LabelTest& test)
{
    if (test.finding != LabelFinding::Disk)
        return;
    std::cout << diskKindName(test.kind) << recognisedSuffix;
    runPlan(reader, test.kind);
}

void processImage(D88Reader& reader, int32_t index)
{
    if (!selectSetImage(reader, index))
        return;
    // The disk the first test names is cut before the second test reads
    // its label sector; the second is made whatever the first found.
    recognise(reader, firstLabelTest(reader));
    recognise(reader, secondLabelTest(reader));
}

}  // namespace

int run(D88Reader& reader, int argc, const char* const argv[])
{
    if (argc != 2) {
        const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackProgramName;
        std::cerr << "Usage: " << program << " [d88file]\n";
        return 1;
    }
    if (!reader.open(argv[1])) {
        std::cerr << openFailureMessage;
        return 1;
    }
    protectInput(argv[1]);

    // A stdout that failed in an earlier run of this process says nothing
    // of this one.
    std::cout.clear();
    failedOutputs = 0;
    for (int32_t index = 0; index < reader.imageCount(); ++index)
        processImage(reader, index);
    if (reader.imagesLeftOut())
        std::cerr << "warning: only the first " << D88Reader::maxImages << " images of "
                  << argv[1] << " are read\n";

    // A full disk or a reader gone away behind stdout never stops the
    // cutting; the files are all written by now. Only the messages are
    // lost, and the status must not hide that.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "error: the messages could not be written to standard output\n";
        return 1;
    }
    return failedOutputs == 0 ? 0 : 1;
}
