#include "cutter/cut_file.h"

#include <fstream>
#include <iostream>
#include <string>

#include "platform/platform.h"

uint8_t sectorBuffer[sectorBufferSize];
int32_t failedOutputs = 0;

namespace {

// The D88 file the run reads. No output may take its place: with the
// image gone, the disks it held would be lost for good.
platform::FileId inputFile;

// Writes the file whole or not at all. The bytes go to a file of its own
// beside the final one and take the final name in one step (a rename, or
// a swap with the earlier file) only when every byte is out and the file
// is closed, so the name holds its earlier
// file or the new one, whole, whatever stops the run: a full disk, a
// file-size limit, a kill. A link of the name is replaced by the new file,
// not written through; a directory of the name stays, and is reported.
bool writeFile(const char* name, const std::string& temporary, const uint8_t* data, int32_t size)
{
    // Whatever stands under the temporary name is a run's leftover, or
    // was put there to be written through; either way it goes.
    platform::removeFile(temporary.c_str());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.is_open())
            return false;
        out.write(reinterpret_cast<const char*>(data), size);
        out.close();
        if (out.fail()) {
            platform::removeFile(temporary.c_str());
            return false;
        }
    }
    if (platform::replaceFile(temporary.c_str(), name))
        return true;
    platform::removeFile(temporary.c_str());
    return false;
}

}  // namespace

void protectInput(const char* path)
{
    inputFile = platform::fileId(path);
}

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
    // The temporary name is removed and written before the rename, so it
    // must not be the input either.
    const std::string temporary = std::string(name) + temporarySuffix;
    for (const std::string& taken : {std::string(name), temporary}) {
        if (platform::sameFile(platform::fileId(taken.c_str()), inputFile)) {
            std::cerr << "error: " << taken << " is the D88 file being read; "
                      << (taken == name ? "it" : name) << " is not written\n";
            ++failedOutputs;
            return false;
        }
    }
    if (!writeFile(name, temporary, sectorBuffer + offset, size)) {
        std::cerr << "error: cannot write " << name << '\n';
        ++failedOutputs;
        return false;
    }
    if (size < length)
        std::cerr << "warning: " << name << " is incomplete: " << size << " of "
                  << length << " bytes could be read\n";
    return true;
}
