// Starting the built program as a user would, without a shell in between,
// on Linux and on Windows alike.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs the program `argv[0]`, looked for on the PATH when it names no
// folder, with the command line `argv` (argv[0] is also the name it is
// given) in the directory `dir`, its standard output and error going to
// the files `out` and `err`. Returns its exit status, or -1 when it could
// not be started or did not end by itself.
int runProgram(const std::vector<std::string>& argv, const std::filesystem::path& dir,
               const std::filesystem::path& out, const std::filesystem::path& err);

#ifndef _WIN32
// The same with more of how it starts, for the fault tests: `out` empty
// closes its standard output, and `outFd`, when set, is used instead; a
// `fileSizeLimit` (RLIMIT_FSIZE) makes a write past it fail with EFBIG.
// Under strace the leak check is off, as it cannot run there.
struct ProgramRun {
    std::vector<std::string> argv;
    std::filesystem::path dir, out, err;
    int outFd = -1;
    long long fileSizeLimit = -1;
};
int runProgram(const ProgramRun& run);
#endif

// How the program's text streams end a line: CR LF on Windows, LF elsewhere.
extern const char* const textLineEnd;
