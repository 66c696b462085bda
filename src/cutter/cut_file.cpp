#include "cutter/cut_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

uint8_t sectorBuffer[sectorBufferSize];
int32_t failedOutputs = 0;

namespace {

// Writes the file whole or not at all: a file whose write or close failed
// is removed again, so no half-written file passes for a good one.
bool writeFile(const char* name, const uint8_t* data, int32_t size)
{
    // An earlier file of the name is unlinked and the new one written
    // afresh, rather than truncated and rewritten in place: some file
    // systems write a truncated file's new data out at once when it is
    // closed, which costs more than all the rest of a run. A link of the
    // name is replaced too, not written through; a directory is left be,
    // and the open below fails on it.
    std::error_code ignored;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(name, ignored)))
        std::filesystem::remove(name, ignored);

    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return false;
    out.write(reinterpret_cast<const char*>(data), size);
    out.close();
    if (!out.fail())
        return true;
    std::remove(name);
    return false;
}

}  // namespace

CutRead readCut(D88Reader& reader, int32_t track, int32_t c, int32_t h, int32_t r,
                int32_t n, int32_t offset, int32_t length)
{
    if (offset < 0 || length < 0 || int64_t(offset) + length > sectorBufferSize)
        return CutRead{0, 0};

    // The run is read from its first sector, so the file's bytes begin
    // `offset` bytes into that sector and may go on over several sectors
    // and track sides.
    const int32_t wanted = offset + length;
    const int32_t got = reader.readRun(track, c, h, r, n, sectorBuffer, wanted);

    // When a sector on the way is missing, the buffer past the last whole
    // sector still holds an earlier read's bytes; they belong to no file.
    const int32_t size = got < wanted ? (got > offset ? got - offset : 0) : length;
    return CutRead{got, size};
}

bool cutFile(D88Reader& reader, const char* name, int32_t track,
             int32_t c, int32_t h, int32_t r, int32_t n,
             int32_t offset, int32_t length)
{
    const CutRead got = readCut(reader, track, c, h, r, n, offset, length);
    if (got.runBytes == 0)
        return false;

    std::cout << "cutting ... " << name << '\n';

    const int32_t size = got.fileBytes;
    if (!writeFile(name, sectorBuffer + offset, size)) {
        std::cerr << "error: cannot write " << name << '\n';
        ++failedOutputs;
        return false;
    }
    if (size < length)
        std::cerr << "warning: " << name << " is incomplete: " << size << " of "
                  << length << " bytes could be read\n";
    return true;
}
