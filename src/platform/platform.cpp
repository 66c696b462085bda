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

namespace {

bool isSlash(char c)
{
    return c == '\\' || c == '/';
}

// Whether `path` begins with the folder `name` (lower-case letters) and a
// slash, the letters in either case.
bool startsWithFolder(const char* path, const char* name)
{
    for (; *name != '\0'; ++path, ++name)
        if (char(*path | 0x20) != *name)
            return false;
    return isSlash(*path);
}

}  // namespace

bool isStreamOnly(const char* path)
{
    // Named pipes live under \\.\pipe\ (or \\SERVER\pipe\). Asking an
    // open handle would take one of the pipe server's connections, so the
    // name alone tells.
    if (!isSlash(path[0]) || !isSlash(path[1]))
        return false;
    const char* rest = path + 2;
    while (*rest != '\0' && !isSlash(*rest))
        ++rest;
    return rest != path + 2 && *rest != '\0' && startsWithFolder(rest + 1, "pipe");
}

FileId fileId(const char* path)
{
    FileId id;
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return id;
    // The 64-bit file index is not unique on every volume (ReFS numbers
    // files with 128 bits); ask for the whole number where the volume
    // gives it.
    FILE_ID_INFO wide;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &wide, sizeof wide)) {
        id.valid = true;
        id.device = wide.VolumeSerialNumber;
        for (int i = 0; i < 8; ++i) {
            id.index |= uint64_t(wide.FileId.Identifier[i]) << (8 * i);
            id.indexHigh |= uint64_t(wide.FileId.Identifier[8 + i]) << (8 * i);
        }
    } else if (GetFileInformationByHandle(handle, &info)) {
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
    // DeleteFile takes a file, or a link itself; it refuses a folder.
    return DeleteFileA(path) != 0;
}

Create createFile(const char* path, const uint8_t* data, int32_t size)
{
    // CREATE_NEW fails on any name that is taken, a link's included, and
    // never opens what a link names.
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Create::Taken
                                                                           : Create::Failed;
    }
    bool written = true;
    for (int32_t done = 0; written && done < size;) {
        DWORD wrote = 0;
        written = WriteFile(handle, data + done, DWORD(size - done), &wrote, nullptr) != 0;
        done += int32_t(wrote);
    }
    if (!CloseHandle(handle))
        written = false;
    if (!written) {
        const DWORD error = GetLastError();
        DeleteFileA(path);
        SetLastError(error);
        return Create::Failed;
    }
    return Create::Done;
}

std::string lastError()
{
    const DWORD error = GetLastError();
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    if (length == 0)
        return "system error " + std::to_string(error);
    // The message is in the system's code page and may end in a line end
    // and a full stop of either script: one line, no stop of its own.
    std::string words(text, length);
    size_t end = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        const bool pair = IsDBCSLeadByte(BYTE(words[i])) && i + 1 < words.size();
        if (words.compare(i, 2, "\x81\x42") == 0 && pair) {
            ++i;  // "。"
            continue;
        }
        if (words[i] == '\r' || words[i] == '\n')
            words[i] = ' ';
        if (words[i] != ' ' && words[i] != '.')
            end = i + 1 + (pair ? 1 : 0);
        if (pair)
            ++i;
    }
    return words.substr(0, end);
}

void setNotAFileError(bool folder)
{
    SetLastError(folder ? ERROR_DIRECTORY : ERROR_BAD_PIPE);
}

void clearLastError()
{
    SetLastError(ERROR_SUCCESS);
}

std::string lastReadError()
{
    const DWORD error = GetLastError();
    if (error == ERROR_SUCCESS || error == ERROR_HANDLE_EOF)
        SetLastError(ERROR_READ_FAULT);
    return lastError();
}

}  // namespace platform

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

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
    // What stands there is looked at, not what a link of that name points
    // to; only a plain file or the link itself goes.
    struct stat info;
    if (lstat(path, &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EEXIST;
        return false;
    }
    return unlink(path) == 0;
}

Create createFile(const char* path, const uint8_t* data, int32_t size)
{
    // O_EXCL fails on any name that is taken, a dangling link's included,
    // and O_NOFOLLOW keeps a link from being opened at all: the bytes go
    // into a file this call made, or nowhere.
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd == -1)
        return errno == EEXIST ? Create::Taken : Create::Failed;
    bool written = true;
    int error = 0;
    for (int32_t done = 0; done < size;) {
        const ssize_t wrote = write(fd, data + done, size_t(size - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            written = false;
            error = wrote == 0 ? EIO : errno;
            break;
        }
        done += int32_t(wrote);
    }
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(path);
        errno = error;
        return Create::Failed;
    }
    return Create::Done;
}

std::string lastError()
{
    return std::strerror(errno);
}

void setNotAFileError(bool folder)
{
    errno = folder ? EISDIR : ESPIPE;
}

void clearLastError()
{
    errno = 0;
}

std::string lastReadError()
{
    return std::strerror(errno != 0 ? errno : EIO);
}

}  // namespace platform

#endif

namespace platform {

bool sameFile(const FileId& a, const FileId& b)
{
    // The whole 128-bit number: two files of a volume that numbers its
    // files with 128 bits may share the low 64.
    return a.valid && b.valid && a.device == b.device && a.index == b.index &&
           a.indexHigh == b.indexHigh;
}

}  // namespace platform
