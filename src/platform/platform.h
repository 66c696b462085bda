// Everything the tool asks of the operating system beyond standard
// streams, in one place: whether a path is a folder, whether two names
// are one file, making a new file that nobody else can have put there,
// replacing a file in one step, the system's words for a failure, and how
// the process meets a console that goes away. The rest of the code calls these and never asks
// which system it runs on.
//
// Paths are narrow strings as the command line gave them. On Windows they
// are in the system's code page (932 on a Japanese system), and so are
// handed to the system as they are, never widened byte by byte.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Called once when the program starts. A reader of stdout that goes away
// (a pipe closed by `head`) must not kill the run half-way through its
// files, and a standard stream the caller left closed must not let an
// output file take its place, where stdout's lines would land in it.
void prepareProcess();

bool isDirectory(const char* path);
// A pipe, FIFO or socket: bytes that can be read once, in order, and
// never sought back to, as a D88 file must be.
bool isStreamOnly(const char* path);

// What makes a file itself, whatever name or link reaches it: the device
// and the file's number on it. Some volumes number files with 128 bits.
struct FileId {
    bool valid = false;
    uint64_t device = 0;
    uint64_t index = 0;
    uint64_t indexHigh = 0;
};

// The file `path` names, after following links; not valid when there is
// none that can be looked at.
FileId fileId(const char* path);
bool sameFile(const FileId& a, const FileId& b);

// Puts the file `from` in the place of `to` in one step, so that `to`
// names either its earlier file or the new one at every instant. A link
// named `to` is replaced, not followed. False, with both left as they
// were, when it cannot be done.
bool replaceFile(const char* from, const char* to);

// Removes `path` when it is a file or a link (the link itself, never what
// it names); a folder, or anything else that stands there, stays.
bool removeFile(const char* path);

enum class Create {
    Done,    // the file is there, every byte written and the file closed
    Taken,   // something already has the name; nothing was touched
    Failed,  // see lastError(); nothing is left under the name
};

// Makes `path` a new file holding `size` bytes of `data`. The file is
// created afresh, never opened through a link and never over anything that
// stands under the name, so whoever else can write to the folder cannot
// make the bytes land in a file of their choosing.
Create createFile(const char* path, const uint8_t* data, int32_t size);

// The system's own words for why the last call that failed did so:
// strerror(errno), or on Windows the system's message for GetLastError()
// in the system's code page. One line, without a full stop. Ask right
// after the failing call, before anything else can change the answer.
std::string lastError();

// Forgets the reason of the last failed call, so that a call which fails
// without giving one can be told apart: see lastReadError().
void clearLastError();

// lastError() for a read of a file that stopped short before the file's
// end. Some stream libraries take a failed read for the end of the file
// and leave no reason behind; then the words for an I/O error.
std::string lastReadError();

// Makes lastError() say why a path that names a folder, or a pipe that can
// be read only once, is no D88 file to open.
void setNotAFileError(bool folder);

}  // namespace platform
