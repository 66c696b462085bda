// Drives every operation of the D88 reader over a file of arbitrary bytes:
// the catalogue, every image, every track side's listing, sector reads by
// the IDs found there and by IDs that are not, and runs of assorted lengths
// under assorted sector ranges. Besides the sanitizers' own checks, every
// count a read returns must stay within what was asked for.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "d88/d88_reader.h"

namespace {

std::string imagePath;

void removeImage()
{
    std::remove(imagePath.c_str());
}

void check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

// Every buffer is exactly as large as the read may fill, so a byte written
// past it lands in the sanitizer's red zone. They are made once, for each
// size, so that the runs spend their time reading rather than zeroing.
uint8_t* bufferOf(int32_t size)
{
    static std::vector<std::vector<uint8_t>> buffers;
    const size_t wanted = size_t(size > 0 ? size : 0);
    for (std::vector<uint8_t>& buffer : buffers)
        if (buffer.size() == wanted)
            return buffer.data();
    buffers.emplace_back(wanted);
    return buffers.back().data();
}

int32_t readInto(D88Reader& reader, int32_t track, const SectorId& id, int32_t maxLen)
{
    uint8_t* buf = bufferOf(maxLen);
    const int32_t got = reader.readSector(track, id.c, id.h, id.r, id.n, buf, maxLen);
    check(got >= 0 && got <= (maxLen > 0 ? maxLen : 0));
    return got;
}

void runFrom(D88Reader& reader, int32_t track, const SectorId& id, int32_t n, int32_t length)
{
    uint8_t* buf = bufferOf(length);
    const int32_t got = reader.readRun(track, id.c, id.h, id.r, n, buf, length);
    check(got >= 0 && got <= (length > 0 ? length : 0));
    // Only whole steps count: every step is a sector's size but the last,
    // which takes what remains of the length.
    if (got > 0 && got < length && n >= 0 && n <= 23)
        check(got % (128 << n) == 0);
}

void readTrack(D88Reader& reader, int32_t track)
{
    // Every eighth track gets the slow work too: partial listings, reads
    // cut to assorted lengths, and long runs over dozens of sectors and
    // many track sides.
    const bool thorough = track % 8 == 0;
    uint8_t ids[256];
    if (thorough) {
        for (int32_t room : {0, 6, 17}) {
            const int32_t written = reader.listSectorIds(track, ids, room);
            check(written >= 0 && written <= room && written % 4 == 0);
        }
    }
    const int32_t listed = reader.listSectorIds(track, ids, sizeof ids);
    check(listed >= 0 && listed <= int32_t(sizeof ids) && listed % 4 == 0);

    // The first IDs that are there, then some that are not: another
    // track's cylinder and head, and values no record can carry.
    std::vector<SectorId> wanted;
    for (int32_t at = 0; at + 4 <= listed && at < 32; at += 4)
        wanted.push_back(SectorId{ids[at], ids[at + 1], ids[at + 2], ids[at + 3]});
    wanted.push_back(SectorId{uint8_t(track >> 1), uint8_t(track & 1), 1, 3});
    wanted.push_back(SectorId{0xff, 0xff, 0xff, 0xff});

    for (const SectorId& id : wanted)
        readInto(reader, track, id, 1024);
    const SectorId& first = wanted[0];
    if (thorough) {
        for (int32_t maxLen : {-1, 12, 70000})
            readInto(reader, track, first, maxLen);
        check(reader.readSector(track, 256, first.h, first.r, first.n, ids, 256) == 0);
        check(reader.readSector(track, first.c, first.h, -1, first.n, ids, 256) == 0);
    }

    for (int32_t length : {-5, 640, 5632})
        runFrom(reader, track, first, first.n, length);
    if (thorough) {
        runFrom(reader, track, first, first.n, 70000);
        runFrom(reader, track, first, 0, 4096);  // the smallest steps
        // The size codes readRun turns away.
        runFrom(reader, track, first, -1, 1024);
        runFrom(reader, track, first, 24, 1024);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    imagePath = (std::filesystem::temp_directory_path() /
                 ("fuzz_reader-" + std::to_string(getpid()) + ".d88"))
                    .string();
    std::atexit(removeImage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }

    D88Reader reader;
    // Before any image is current, nothing can be read.
    check(reader.readSector(0, 0, 0, 1, 3, nullptr, 0) == 0);
    if (!reader.open(imagePath.c_str()))
        return 0;
    const int32_t images = reader.imageCount();
    check(images >= 0 && images <= D88Reader::maxImages);
    check(!reader.selectImage(images) && !reader.selectImage(-1));
    check(reader.mediaType() == -1 && reader.diskName()[0] == '\0');

    // (1, 5) is the set's range; the others make runs wander off a side.
    const int32_t ranges[][2] = {{1, 5}, {1, 16}, {0, 0}, {5, 1}};
    for (int32_t index = 0; index < images; ++index) {
        if (!reader.selectImage(index))
            continue;
        check(reader.mediaType() >= 0 && reader.mediaType() <= 255);
        const int32_t* range = ranges[index % 4];
        reader.setSectorRange(range[0], range[1]);
        for (int32_t track = -1; track <= D88Reader::trackCount; ++track)
            readTrack(reader, track);
    }

    // A second open of the same file starts afresh and finds the same.
    check(reader.open(imagePath.c_str()) && reader.imageCount() == images);
    reader.close();
    check(reader.imageCount() == 0 && !reader.selectImage(0));
    return 0;
}
