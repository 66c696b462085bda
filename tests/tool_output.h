// What d88cut writes, byte for byte, and a run of its driver in this
// process with what it writes caught: for the tests and the fuzz targets
// alike, so it stands in one place.
#pragma once

#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "console/cut_command.h"
#include "disk_set.h"

inline bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// The disk's name as the recognition line spells it.
inline const char* messageName(SetDisk disk)
{
    static const char* const names[] = {"User Disk", "Program Disk", "Disk A", "Disk B",
                                        "Disk C",    "Start Disk",   "JukeBox"};
    return names[int(disk)];
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

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the driver in this process, inside `dir`, on the command line
// `args`, writing what it says to `out` and `err`; returns its status.
inline int runDriver(const std::filesystem::path& dir, std::vector<const char*> args,
                     std::ostream& out, std::ostream& err)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    args.push_back(nullptr);
    const int status = cutCommand(int(args.size() - 1), args.data(), out, err);
    std::filesystem::current_path(before);
    return status;
}

// The same, catching what it writes to stdout and stderr.
inline RunResult runDriver(const std::filesystem::path& dir, const std::vector<const char*>& args)
{
    std::ostringstream out, err;
    RunResult result;
    result.status = runDriver(dir, args, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}
