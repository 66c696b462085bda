#include "platform/platform.h"

#ifdef _WIN32

#include <windows.h>

// The ANSI calls (…A) take a narrow path in the system's code page, which
// is what the command line and the C runtime's file streams use too.

namespace platform {

void prepareProcess()
{
    // No signal is raised for a closed pipe here: a failed write is all
    // the run sees of it. Keep the system's own error boxes off the
    // screen; a missing disk or file is the run's to report.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

bool isDirectory(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isStreamOnly(const char* path)
{
    // A named pipe opens like a file but cannot be seeked.
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_PIPE;
}

FileId fileId(const char* path)
{
    FileId id;
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
        id.valid = true;
        id.device = info.dwVolumeSerialNumber;
        id.index = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    CloseHandle(handle);
    return id;
}

bool replaceFile(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool removeFile(const char* path)
{
    return DeleteFileA(path) != 0;
}

}  // namespace platform

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace platform {

void prepareProcess()
{
    // A closed pipe then fails the write with EPIPE instead of killing
    // the process between two files.
    std::signal(SIGPIPE, SIG_IGN);

    // Where the caller closed stdin, stdout or stderr, the next file
    // opened would take its number. Put /dev/null there, open for reading
    // only, so that messages sent to a closed stream still fail as they
    // should rather than land in a file.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDONLY);
}

bool isDirectory(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool isStreamOnly(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

FileId fileId(const char* path)
{
    FileId id;
    struct stat info;
    if (stat(path, &info) == 0) {
        id.valid = true;
        id.device = uint64_t(info.st_dev);
        id.index = uint64_t(info.st_ino);
    }
    return id;
}

bool replaceFile(const char* from, const char* to)
{
#ifdef RENAME_EXCHANGE
    // On ext4 a rename over an existing file makes the system start
    // writing the new file's data out at once, which made a rerun over
    // earlier outputs several times slower. Swapping the two names is just
    // as atomic and costs no such write; the earlier file then stands
    // under the temporary name and goes. Only a file or a link is swapped:
    // a folder of the output's name must stay where it is.
    struct stat target;
    if (lstat(to, &target) == 0 && (S_ISREG(target.st_mode) || S_ISLNK(target.st_mode)) &&
        renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
        unlink(from);
        return true;
    }
#endif
    return std::rename(from, to) == 0;
}

bool removeFile(const char* path)
{
    return unlink(path) == 0;
}

}  // namespace platform

#endif

namespace platform {

bool sameFile(const FileId& a, const FileId& b)
{
    return a.valid && b.valid && a.device == b.device && a.index == b.index;
}

}  // namespace platform
