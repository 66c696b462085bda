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
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

const char* const textLineEnd = "\n";

int runProgram(const ProgramRun& run)
{
    // Everything the child needs is made before the fork: between fork and
    // exec it may only make system calls.
    std::vector<char*> args;
    for (const std::string& argument : run.argv)
        args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    const std::string dirName = run.dir.string(), outName = run.out.string(), errName = run.err.string();
    const rlim_t limit = run.fileSizeLimit < 0 ? RLIM_INFINITY : rlim_t(run.fileSizeLimit);
    std::vector<std::string> environment;
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0)
            env.push_back(*e);
    if (!run.argv.empty() && run.argv[0] == "strace") {
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        environment.push_back(std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") + ":detect_leaks=0");
        env.push_back(environment.back().data());
    } else if (const char* sanitizer = std::getenv("ASAN_OPTIONS")) {
        environment.push_back(std::string("ASAN_OPTIONS=") + sanitizer);
        env.push_back(environment.back().data());
    }
    env.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        int outFd = run.outFd;
        if (outFd < 0 && !outName.empty())
            outFd = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errFd < 0 || dup2(errFd, 2) < 0 || chdir(dirName.c_str()) != 0)
            _exit(127);
        if (outFd >= 0) {
            if (dup2(outFd, 1) < 0)
                _exit(127);
        } else if (outName.empty()) {
            close(1);
        } else {
            _exit(127);
        }
        // A write past the limit then fails with EFBIG instead of killing.
        if (limit != RLIM_INFINITY) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limits{limit, limit};
            setrlimit(RLIMIT_FSIZE, &limits);
        }
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    int raw = 0;
    if (child < 0 || waitpid(child, &raw, 0) != child)
        return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

int runProgram(const std::vector<std::string>& argv, const std::filesystem::path& dir,
               const std::filesystem::path& out, const std::filesystem::path& err)
{
    return runProgram(ProgramRun{argv, dir, out, err});
}

#endif
