#include "child_process.h"

#ifdef _WIN32

#include <windows.h>

const char* const textLineEnd = "\r\n";

namespace {

HANDLE createInheritable(const std::filesystem::path& path)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int runProgram(const std::vector<std::string>& argv, const std::filesystem::path& dir,
               const std::filesystem::path& out, const std::filesystem::path& err)
{
    // Every argument in double quotes, so that a blank in a path does not
    // split it. No argument of the tests holds a double quote or ends in a
    // backslash, which the started program's C runtime would read otherwise.
    std::string commandLine;
    for (const std::string& argument : argv)
        commandLine += (commandLine.empty() ? "\"" : " \"") + argument + '"';

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = createInheritable(out);
    startup.hStdError = createInheritable(err);
    PROCESS_INFORMATION process = {};
    const bool started = startup.hStdOutput != INVALID_HANDLE_VALUE &&
                         startup.hStdError != INVALID_HANDLE_VALUE &&
                         CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        dir.string().c_str(), &startup, &process);
    if (startup.hStdOutput != INVALID_HANDLE_VALUE)
        CloseHandle(startup.hStdOutput);
    if (startup.hStdError != INVALID_HANDLE_VALUE)
        CloseHandle(startup.hStdError);
    if (!started)
        return -1;

    DWORD status = DWORD(-1);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(status);
}

#else

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

const char* const textLineEnd = "\n";

int runProgram(const std::vector<std::string>& argv, const std::filesystem::path& dir,
               const std::filesystem::path& out, const std::filesystem::path& err)
{
    // Everything the child needs is made before the fork: between fork and
    // exec it may only make system calls.
    std::vector<char*> args;
    for (const std::string& argument : argv)
        args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    const std::string dirName = dir.string(), outName = out.string(), errName = err.string();

    const pid_t child = fork();
    if (child == 0) {
        const int outFd = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd >= 0 && errFd >= 0 && dup2(outFd, 1) >= 0 && dup2(errFd, 2) >= 0 &&
            chdir(dirName.c_str()) == 0)
            execvp(args[0], args.data());
        _exit(127);
    }
    int raw = 0;
    if (child < 0 || waitpid(child, &raw, 0) != child)
        return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

#endif
