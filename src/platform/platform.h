// Everything the tool asks of the operating system beyond standard
// streams, in one place: whether a path is a folder, whether two names
// are one file, replacing a file in one step, and how the process meets a
// console that goes away. The rest of the code calls these and never asks
// which system it runs on.
//
// Paths are narrow strings as the command line gave them. On Windows they
// are in the system's code page (932 on a Japanese system), and so are
// handed to the system as they are, never widened byte by byte.
#pragma once

#include <cstdint>

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

// What makes a file itself, whatever name or link reaches it.
struct FileId {
    bool valid = false;
    uint64_t device = 0;
    uint64_t index = 0;
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

bool removeFile(const char* path);

}  // namespace platform
