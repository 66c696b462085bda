// The cut-out writer: one run of sectors in, one raw file out.
#pragma once

#include <cstdint>

#include "d88/d88_reader.h"

// Every read the cutter makes lands at the start of this one buffer, label
// reads and cuts alike. It is never cleared, so bytes past what the last
// read delivered are left over from earlier reads and must never be used.
// The largest cut, the Start Disk's ADPCM data, takes 196,608 bytes.
constexpr int32_t sectorBufferSize = 0x50000;
extern uint8_t sectorBuffer[sectorBufferSize];

// Every sector the cutter reads holds 1024 bytes (N = 3).
constexpr int32_t sectorSizeCode = 3;
constexpr int32_t sectorSize = 128 << sectorSizeCode;

// How many output files of this run could not be created or written whole.
// The run driver clears it when a run starts and turns any into exit
// status 1, so that a script sees that files are missing.
extern int32_t failedOutputs;

// An output is written under its name with this added, then renamed to
// its name; a file of such a name is what a killed run left behind.
constexpr const char temporarySuffix[] = ".d88cut-tmp";

// Names the D88 file the run reads: no output is ever written over it,
// however it is named.
void protectInput(const char* path);

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
// (an error on stderr; any earlier file of the name is left as it was).
// A run that breaks off after whole sectors gives a file of only the bytes
// really read, and a warning on stderr.
bool cutFile(D88Reader& reader, const char* name, int32_t track,
             int32_t c, int32_t h, int32_t r, int32_t n,
             int32_t offset, int32_t length);
