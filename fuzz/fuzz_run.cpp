// Runs the whole program on a D88 file of arbitrary bytes, inside a scratch
// directory of its own, and then checks what the run left behind: every
// file has the name of a file some disk's plan cuts and is no longer than
// that file, every line on stdout and stderr is one the tool can print,
// and, as nothing stands in the way of writing, the run ends with status 0
// unless it said why not. Then d88scan's two reports of the same file: the
// JSON parses, says what the text says, and foretells the cut: which files
// it left, how long each is, which it warned of.
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

#include <nlohmann/json.hpp>

#include "console/scan_command.h"
#include "core/d88_reader.h"
#include "expected_cut.h"
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
// starts in an empty directory; returns each one's size by name.
std::map<std::string, size_t> checkAndClearOutputs(const std::string& printed)
{
    std::map<std::string, size_t> left;
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
        left[name] = size_t(info.st_size);
        check(unlinkat(dirfd(dir), entry->d_name, 0) == 0);
    }
    closedir(dir);
    return left;
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// d88scan on the input, as text and as JSON; `cut` is d88cut's run on it
// and `left` the files that run left, with their sizes.
void checkReports(const RunResult& cut, const std::map<std::string, size_t>& left)
{
    std::ostringstream text, textErr, json, jsonErr;
    const char* textArgs[] = {"d88scan", input->path(), nullptr};
    const char* jsonArgs[] = {"d88scan", "--json", "--", input->path(), nullptr};
    const int status = scanCommand(2, textArgs, text, textErr);
    check(scanCommand(4, jsonArgs, json, jsonErr) == status);
    check(textErr.str() == jsonErr.str());

    const nlohmann::json document = nlohmann::json::parse(json.str(), nullptr, false);
    check(!document.is_discarded() && document.at("version") == 1 && document.at("files").size() == 1);
    const nlohmann::json& file = document["files"][0];
    check(file.at("path") == input->path() && !file.contains("error"));
    check(file.at("imagesLeftUnread") ==
          (cut.err.find("warning: only the first 64 images of ") != std::string::npos));

    // Each output the JSON lists is a line of the text when it is not
    // whole, and a cut file, a warning, or neither, as its state says; a
    // later disk's file of the same name replaces an earlier one's.
    std::string notWhole;
    std::map<std::string, size_t> lastBytes;
    size_t images = 0, cuttings = 0, incomplete = 0;
    for (const nlohmann::json& image : file.at("images")) {
        ++images;
        if (image.contains("error"))
            continue;
        for (const nlohmann::json& disk : image.at("recognitions")) {
            for (const nlohmann::json& output : disk.at("outputs")) {
                const std::string name = output.at("name");
                const std::string state = output.at("state");
                const size_t bytes = output.at("bytes");
                const size_t planned = output.at("planned");
                check(bytes <= planned && (state == "whole") == (bytes == planned));
                if (state == "absent") {
                    check(bytes == 0);
                    notWhole += "    " + name + " absent (first ";
                    continue;
                }
                ++cuttings;
                lastBytes[name] = bytes;
                if (state == "incomplete") {
                    ++incomplete;
                    notWhole += "    " + name + " incomplete (" + std::to_string(bytes) + " of " +
                                std::to_string(planned) + " bytes; ";
                    check(cut.err.find("warning: " + name + " is incomplete: " + std::to_string(bytes) +
                                       " of " + std::to_string(planned) + " bytes could be read\n") !=
                          std::string::npos);
                }
            }
        }
    }
    std::string listed;
    for (const std::string& line : lines(text.str())) {
        if (!startsWith(line, "    "))
            continue;
        const std::string absent = " absent (first ";
        const size_t at = line.find(absent);
        if (at != std::string::npos)
            listed += line.substr(0, at + absent.size());
        else if (line.find(" incomplete (") != std::string::npos)
            listed += line.substr(0, line.find("; ") + 2);
    }
    check(listed == notWhole);
    check(countOf(text.str(), "\nimage ") + startsWith(text.str(), "image ") == images);
    check(status == (notWhole.empty() ? 0 : 1));
    check(left == lastBytes);
    check(countOf(cut.err, " is incomplete: ") == incomplete);
    size_t cutLines = 0;
    for (const auto& name : plannedSizes)
        cutLines += countOf(cut.out, cutting(name.first));
    check(cutLines == cuttings);
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

    // The plans of the tests' model; a name two disks cut (the drivers and
    // samples of the Start Disk and the JukeBox) at the larger length.
    for (SetDisk disk : allDisks)
        for (const PlannedFile& f : plannedFiles(planKind(disk)))
            plannedSizes[f.name] = std::max(plannedSizes[f.name], size_t(f.length));
    check(plannedSizes.size() == 153);

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

    checkReports(result, checkAndClearOutputs(printed));
    return 0;
}
