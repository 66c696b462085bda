#include "console/cut_command.h"

#include <string>

#include "core/cut.h"
#include "core/d88_reader.h"
#include "platform/platform.h"
#include "report/cut_messages.h"

namespace {

const char fallbackProgramName[] = "d88cut";

}  // namespace

int cutCommand(int argc, const char* const argv[], std::ostream& out, std::ostream& err)
{
    if (argc != 2) {
        const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackProgramName;
        err << usageLine(program);
        return 1;
    }
    const char* path = argv[1];
    // The one reader of the cut; it closes the image file when it goes.
    D88Reader reader;
    if (!reader.open(path)) {
        err << openFailureMessage;
        if (path[0] == '-')
            err << optionHint;
        return 1;
    }

    // A stream that failed in an earlier call in this process says nothing
    // of this one.
    out.clear();
    CutMessages messages(path);
    // The system's reason the first time `out` failed, kept before later
    // calls can overwrite it.
    std::string outFailure;
    cutImages(reader, platform::fileId(path), [&](const CutEvent& event) {
        const MessageLine line = messages.lineOf(event);
        if (line.stream == Stream::err) {
            err << line.text;
            return;
        }
        out << line.text;
        if (!out && outFailure.empty())
            outFailure = platform::lastError();
    });

    // A full disk or a reader gone away behind stdout never stops the
    // cutting; the files are all written by now. Only the messages are
    // lost, and the status must not hide that.
    out.flush();
    if (!out) {
        if (outFailure.empty())
            outFailure = platform::lastError();
        err << "error: the messages could not be written to standard output: " << outFailure
            << '\n';
        return 1;
    }
    return messages.status();
}
