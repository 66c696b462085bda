// Scratch directories, files and whole runs of the tool, for the tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "cutter/run.h"
#include "disk_set.h"

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed again
// when the test ends.
class ScratchDir {
public:
    ScratchDir()
    {
        // Tests run side by side in separate processes: a name another one
        // took is passed over, as creating the directory fails.
        static std::mt19937 random(std::random_device{}());
        do
            path_ = fs::temp_directory_path() / ("d88cut-test-" + std::to_string(random()));
        while (!fs::create_directory(path_));
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline void writeBytes(const fs::path& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline Bytes readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string text(const Bytes& data)
{
    return std::string(data.begin(), data.end());
}

// Every regular file in `dir` but the input image, by name.
inline std::map<std::string, Bytes> outputFiles(const fs::path& dir, const std::string& input)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().filename() != input)
            files[entry.path().filename().string()] = readBytes(entry.path());
    return files;
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the driver in this process, inside `dir`, on the command line
// `args`, writing what it says to `out` and `err`; returns its status.
inline int runDriver(const fs::path& dir, std::vector<const char*> args, std::ostream& out,
                     std::ostream& err)
{
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    args.push_back(nullptr);
    D88Reader reader;
    const int status = run(reader, int(args.size() - 1), args.data(), out, err);
    fs::current_path(before);
    return status;
}

// The same, catching what it writes to stdout and stderr.
inline RunResult runDriver(const fs::path& dir, const std::vector<const char*>& args)
{
    std::ostringstream out, err;
    RunResult result;
    result.status = runDriver(dir, args, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

// Writes `image` as "disk.d88" in `dir` and runs the driver on it there.
inline RunResult runOnImage(const ScratchDir& dir, const Bytes& image)
{
    writeBytes(dir / "disk.d88", image);
    return runDriver(dir.path(), {"d88cut", "disk.d88"});
}

// What a built program wrote to stdout or stderr, with its line ends as
// the source writes them. Text streams end every line in CR LF on Windows;
// there a line ending in a bare LF fails the test.
inline std::string fromTextStream(const std::string& written)
{
    if (std::string(textLineEnd) == "\n")
        return written;
    std::string text;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written.compare(i, 2, "\r\n") == 0)
            ++i;
        else if (written[i] == '\n')
            ADD_FAILURE() << "a line ends in LF alone:\n" << written;
        text += written[i];
    }
    return text;
}

// Runs a built program as a user would, inside `dir`, without a shell:
// `command` is the program and any words of its own, `arguments` the rest
// of the command line, split at blanks.
inline RunResult runBinary(const fs::path& dir, const std::string& arguments,
                           const std::vector<std::string>& command = {D88CUT_BINARY})
{
    std::vector<std::string> argv = command;
    std::istringstream words(arguments);
    for (std::string word; words >> word;)
        argv.push_back(word);
    RunResult result;
    result.status = runProgram(argv, dir, dir / "stdout.txt", dir / "stderr.txt");
    result.out = fromTextStream(text(readBytes(dir / "stdout.txt")));
    result.err = fromTextStream(text(readBytes(dir / "stderr.txt")));
    fs::remove(dir / "stdout.txt");
    fs::remove(dir / "stderr.txt");
    return result;
}

// The seven recognition lines and the others, as the tool writes them.
inline std::string recognised(const std::string& disk)
{
    // "を認識しました.\n"
    return disk + " \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n";
}

inline std::string cutting(const std::string& name)
{
    return "cutting ... " + name + "\n";
}

// "これはどうやら初期バージョンっぽいです.\n"
const std::string earlyVersionLine =
    "\x82\xb1\x82\xea\x82\xcd\x82\xc7\x82\xa4\x82\xe2\x82\xe7\x8f\x89\x8a\xfa"
    "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xc1\x82\xdb\x82\xa2\x82\xc5"
    "\x82\xb7.\n";

// "ファイルをオープンできません.\n"
const std::string openFailureLine =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x83\x49\x81\x5b\x83\x76\x83\x93"
    "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.\n";

// The files each disk should yield, in the order they are written, as
// transcribed into tests/data/cut_plans.txt.
struct PlannedFile {
    std::string kind, name;
    int track, c, h, r, offset, length;
};

inline std::vector<PlannedFile> plannedFiles(const std::string& kind)
{
    std::ifstream in(CUT_PLANS_FILE);
    std::vector<PlannedFile> files;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        PlannedFile f;
        fields >> f.kind >> f.name >> f.track >> f.c >> f.h >> f.r >> f.offset >> f.length;
        if (f.kind == kind)
            files.push_back(f);
    }
    return files;
}

inline const char* planKind(SetDisk disk)
{
    switch (disk) {
    case SetDisk::Program: return "program";
    case SetDisk::DiskC:   return "diskc";
    case SetDisk::Start:   return "start";
    case SetDisk::JukeBox: return "jukebox";
    default:               return "none";
    }
}

inline const char* messageName(SetDisk disk)
{
    static const char* const names[] = {"User Disk", "Program Disk", "Disk A", "Disk B",
                                        "Disk C",    "Start Disk",   "JukeBox"};
    return names[int(disk)];
}

// What stdout should say for one disk: its recognition line, then one
// line per file of its plan.
inline std::string expectedStdout(SetDisk disk)
{
    std::string out = recognised(messageName(disk));
    for (const PlannedFile& f : plannedFiles(planKind(disk)))
        out += cutting(f.name);
    return out;
}
