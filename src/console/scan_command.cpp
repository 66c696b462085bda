#include "console/scan_command.h"

#include <string>
#include <vector>

#include "core/findings.h"
#include "platform/platform.h"
#include "report/scan_json.h"
#include "report/scan_text.h"
#include "report/scan_words.h"

namespace {

// The version of the whole tool, d88cut's and d88scan's alike, as the
// build names it.
const char versionLine[] = "d88scan " D88CUT_VERSION "\n";

const char usageText[] =
    "usage: d88scan FILE.d88 [FILE.d88 ...]\n"
    "       d88scan --json FILE.d88 [FILE.d88 ...]\n"
    "       d88scan --version\n"
    "Reports what d88cut would do with each D88 file, and why: its images, the\n"
    "disks of the set d88cut would recognise in them, and every file it would\n"
    "not cut whole. Reads the files only; writes nothing.\n"
    "--json gives the same findings as one JSON document, with every sector of\n"
    "every image and the sectors each file would be cut from.\n"
    "Exit status: 0 when every file would be cut whole, 1 when one would be\n"
    "incomplete or absent, 2 on a usage error or a file that cannot be opened\n"
    "or read.\n"
    "This is d88scan " D88CUT_VERSION ".\n";

}  // namespace

int scanCommand(int argc, const char* const argv[], std::ostream& out, std::ostream& err)
{
    std::vector<const char*> files;
    bool optionsEnd = false;
    bool asJson = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            files.push_back(argv[i]);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--json") {
            asJson = true;
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            out << (arg == "--version" ? versionLine : usageText);
            return out.flush() ? 0 : 2;
        } else {
            err << "d88scan: unknown option " << quoted(argv[i]) << '\n' << usageText;
            return 2;
        }
    }
    if (files.empty()) {
        err << usageText;
        return 2;
    }

    TextReport text(out);
    JsonReport json(out);
    ScanReports report(err, {asJson ? static_cast<ScanListener*>(&json) : &text});
    int status = 0;
    std::string lost;  // why the report could not be written, said as it failed
    if (asJson)
        json.begin();
    for (const char* path : files) {
        if (!out) {
            lost = platform::lastError();
            break;  // nobody reads the report any more
        }
        status = scanStatus(status, scanFile(path, path, report));
    }
    if (asJson && out)
        json.end();
    if (!out.flush()) {
        err << "d88scan: cannot write the report: "
            << (lost.empty() ? platform::lastError() : lost) << '\n';
        return 2;
    }
    return status;
}
