// The cut-out writer: one run of sectors in, one raw file out.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "d88/d88_reader.h"
#include "platform/platform.h"

// Every read the cutter makes lands at the start of this one buffer, label
// reads and cuts alike. It is never cleared, so bytes past what the last
// read delivered are left over from earlier reads (of this run, or of an
// earlier run in the same process) and must never be used.
// The largest cut, the Start Disk's ADPCM data, takes 196,608 bytes.
constexpr int32_t sectorBufferSize = 0x50000;
extern uint8_t sectorBuffer[sectorBufferSize];

// Every sector the cutter reads holds 1024 bytes (N = 3).
constexpr int32_t sectorSizeCode = 3;
constexpr int32_t sectorSize = 128 << sectorSizeCode;

// An output is written under its name with this added, then takes its
// name; a file of such a name is what a killed run left behind.
constexpr const char temporarySuffix[] = ".d88cut-tmp";

// What one run of the cutter writes to and keeps from file to file. The
// run driver makes a fresh one for every run, so a run in a process that
// has cut before starts as a new process would.
struct CutRun {
    D88Reader& reader;
    std::ostream& out;  // recognition, early-version and "cutting" lines
    std::ostream& err;  // warnings and errors
    // The D88 file the run reads. No output may take its place: with the
    // image gone, the disks it held would be lost for good.
    platform::FileId input;
    // How many outputs could not be created or written whole; any of them
    // makes the exit status 1, so that a script sees that files are missing.
    int32_t failedOutputs = 0;
    // Whether an error line of this run has said yet where files are made.
    bool folderNamed = false;
    // The system's reason the first time `out` failed, kept before later
    // calls can overwrite it.
    std::string outFailure;
};

// Writes `text` to the run's stdout.
void say(CutRun& run, const std::string& text);

// What the run of sectors of one file gave when it was read into
// sectorBuffer: the bytes of whole sectors the run delivered from its first
// byte (0 when nothing could be read at its first sector, so no file is
// written), and how many of them belong to the file: those past `offset`,
// at most `length`. A file is whole when it got all `length`; a run that
// broke off gives fewer, maybe none at all when it broke off before
// `offset`.
struct CutRead {
    int32_t runBytes;
    int32_t fileBytes;
};

// Reads the run for a file, as cutFile does before it writes anything.
CutRead readCut(D88Reader& reader, int32_t track, int32_t c, int32_t h, int32_t r,
                int32_t n, int32_t offset, int32_t length);

// Reads the run of sectors that starts at (c, h, r, n) on `track`, skips
// its first `offset` bytes and writes the next `length` bytes to the file
// `name` in the current directory, replacing any file of that name in one
// step. Returns false when nothing could be read at the first sector (no
// message, no file) or when the file could not be written or is the input
// (an error on the run's err, with the system's reason; any earlier file of
// the name is left as it was). A run that breaks off after whole sectors
// gives a file of only the bytes really read, and a warning.
bool cutFile(CutRun& run, const char* name, int32_t track,
             int32_t c, int32_t h, int32_t r, int32_t n,
             int32_t offset, int32_t length);
