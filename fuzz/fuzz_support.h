// What both fuzz targets need: a check that stops the fuzzer, and a fast
// place to put the file each input is written to.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

// A failed check is a finding: the trap stops the fuzzer and saves the input.
inline void check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

// The reader reads from a file, so every input is written to one first.
// A memory-backed file system makes that, and the outputs a run writes,
// cost next to nothing; elsewhere the system's temporary directory serves.
inline std::filesystem::path scratchRoot()
{
    std::error_code error;
    const std::filesystem::path shm = "/dev/shm";
    if (std::filesystem::is_directory(shm, error) && access(shm.c_str(), W_OK) == 0)
        return shm;
    return std::filesystem::temp_directory_path();
}

// The file each input is written to. It stays open from input to input
// and is overwritten in place: on a memory-backed file system that reuses
// its pages, where truncating to nothing and writing anew would free and
// fetch them all again.
class InputFile {
public:
    explicit InputFile(std::filesystem::path path) : path_(std::move(path))
    {
        fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        check(fd_ >= 0);
    }
    ~InputFile()
    {
        close(fd_);
        unlink(path_.c_str());
    }

    const char* path() const { return path_.c_str(); }

    void write(const uint8_t* data, size_t size)
    {
        for (size_t done = 0; done < size;) {
            const ssize_t written = pwrite(fd_, data + done, size - done, off_t(done));
            check(written > 0);
            done += size_t(written);
        }
        check(ftruncate(fd_, off_t(size)) == 0);
    }

private:
    std::filesystem::path path_;
    int fd_;
};
