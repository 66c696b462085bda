// Runs the whole program on a D88 file of arbitrary bytes, inside a scratch
// directory of its own, and then checks what the run left behind: every
// file has the name of a file some disk's plan cuts and is no longer than
// that file, every line on stdout and stderr is one the tool can print,
// and, as nothing stands in the way of writing, the run ends with status 0
// unless it said why not.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/d88_reader.h"
#include "fuzz_support.h"
#include "tool_output.h"

namespace fs = std::filesystem;

namespace {

// The input lies beside the directory the run writes into, so that every
// file in there after a run is one the run made.
fs::path scratch;
InputFile* input;
fs::path outputDir;
// Every name a plan writes, with the most bytes any plan gives it.
std::map<std::string, size_t> plannedSizes;
std::set<std::string> stdoutLines;  // each with its newline

void addPattern(const char* pattern, int rows, size_t longest)
{
    for (int i = 0; i < rows; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, pattern, i);
        plannedSizes[name] = longest;
    }
}

void removeScratch()
{
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
}

// Lines of `text`, each without its newline; the text must end in one.
std::vector<std::string> lines(const std::string& text)
{
    check(text.empty() || text.back() == '\n');
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// "warning: NAME is incomplete: N of M bytes could be read", N below M.
bool isIncompleteWarning(const std::string& line)
{
    char name[16];
    unsigned long got = 0, wanted = 0;
    int end = 0;
    if (std::sscanf(line.c_str(), "warning: %15s is incomplete: %lu of %lu bytes could be read%n",
                    name, &got, &wanted, &end) != 3 ||
        size_t(end) != line.size())
        return false;
    auto planned = plannedSizes.find(name);
    return planned != plannedSizes.end() && got < wanted && wanted <= planned->second;
}

// "warning: only the first 64 images of FILE are read".
bool isImageLimitWarning(const std::string& line)
{
    const std::string start = "warning: only the first 64 images of ";
    const std::string end = " are read";
    return line.size() > start.size() + end.size() && startsWith(line, start) &&
           line.compare(line.size() - end.size(), end.size(), end) == 0;
}

// Checks every file the run left and removes it, so that the next input
// starts in an empty directory.
void checkAndClearOutputs(const std::string& printed)
{
    DIR* dir = opendir(outputDir.c_str());
    check(dir != nullptr);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // A temporary file is renamed or removed before the run ends, so
        // any name outside the plans is a finding.
        auto planned = plannedSizes.find(name);
        check(planned != plannedSizes.end());
        struct stat info;
        check(fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0);
        check(S_ISREG(info.st_mode) && size_t(info.st_size) <= planned->second);
        // A file is only ever written after its cutting line.
        check(printed.find(cutting(name)) != std::string::npos);
        check(unlinkat(dirfd(dir), entry->d_name, 0) == 0);
    }
    closedir(dir);
}

// libFuzzer writes a crashing input into the current directory at the
// moment of the crash, which inside a run is the output directory that is
// emptied and removed. Unless told otherwise, it writes into the directory
// it was started in. The flags are read after this returns.
void keepArtifactsHere(int* argc, char*** argv)
{
    const std::string flag = "-artifact_prefix=";
    for (int i = 1; i < *argc; ++i)
        if (std::string((*argv)[i]).compare(0, flag.size(), flag) == 0)
            return;
    static std::string prefix = flag + (fs::current_path() / "").string();
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.push_back(prefix.data());
    args.push_back(nullptr);
    *argc = int(args.size() - 1);
    *argv = args.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    keepArtifactsHere(argc, argv);

    // The tables' largest rows are 4,096 bytes; the drivers and samples
    // are cut at the larger of the Start Disk's and the JukeBox's lengths.
    for (const char* table : {"MA1%02d", "MB1%02d", "MA0%02d", "MB0%02d"})
        addPattern(table, 35, 4096);
    for (const char* table : {"MA4%02d", "MB4%02d"})
        addPattern(table, 2, 4096);
    for (const char* table : {"MA5%02d", "MB5%02d"})
        addPattern(table, 3, 4096);
    plannedSizes["FMDRV1"] = 0x1700;
    plannedSizes["FMDRV2"] = 0x1300;
    plannedSizes["ADPCM"] = 0x30000;

    for (SetDisk disk : allDisks)
        stdoutLines.insert(recognised(messageName(disk)));
    stdoutLines.insert(earlyVersionLine);
    for (const auto& entry : plannedSizes)
        stdoutLines.insert(cutting(entry.first));

    std::string pattern = (scratchRoot() / "fuzz_run-XXXXXX").string();
    check(mkdtemp(pattern.data()) != nullptr);
    scratch = pattern;
    std::atexit(removeScratch);
    static InputFile file(scratch / "disk.d88");
    input = &file;
    outputDir = scratch / "out";
    fs::create_directory(outputDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    input->write(data, size);

    // The run works in the current directory. libFuzzer writes its crash
    // files into the one it was started in, and the run goes back there
    // at once.
    const RunResult result = runDriver(outputDir, {"d88cut", input->path()});

    const std::string& printed = result.out;
    for (const std::string& line : lines(printed))
        check(stdoutLines.count(line + "\n") == 1);
    // Status 1 only with a reason on stderr, and the line about images
    // past the 64th only when the catalogue is full.
    bool failed = false;
    for (const std::string& line : lines(result.err)) {
        if (startsWith(line, "error: ")) {
            failed = true;
        } else if (isImageLimitWarning(line)) {
            D88Reader catalogue;
            check(catalogue.open(input->path()) &&
                  catalogue.imageCount() == D88Reader::maxImages);
        } else {
            check(isIncompleteWarning(line));
        }
    }
    check(result.status == (failed ? 1 : 0));

    checkAndClearOutputs(printed);
    return 0;
}
