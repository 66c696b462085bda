// Drives every operation of the D88 reader over a file of arbitrary bytes:
// the catalogue, the images, and on a few track sides picked from the
// input, listings, sector reads by every ID found there and by IDs that are
// not, and runs of assorted lengths under assorted sector ranges. Besides
// the sanitizers' own checks, every count a read returns must stay within
// what was asked for.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/d88_reader.h"
#include "d88_builder.h"
#include "fuzz_support.h"

namespace {

// Every read walks its track from the first record, and each walk costs a
// seek and a refill of the stream's buffer: reading all 164 sides of every
// image would take thousands of walks an input. So only a few sides get
// read, picked anew for each input (see pickTracks).
constexpr int32_t pickedTracks = 3;

// Where an image's header keeps its size and its table of track offsets.
constexpr size_t headerSize = 0x2B0;
constexpr size_t trackTableAt = 0x20;

InputFile* inputFile;

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

// Everything the reader does with one track side: partial and whole
// listings, a read of every ID listed and of IDs that are not there, reads
// cut to assorted lengths, and runs that go on over several sides.
void readTrack(D88Reader& reader, int32_t track)
{
    uint8_t ids[256];
    SectorInfo infos[64];
    for (int32_t room : {0, 1}) {
        const int32_t listed = reader.listSectors(track, infos, room);
        check(listed >= 0 && listed <= room);
    }
    const int32_t listed = reader.listSectors(track, infos, 64);
    check(listed >= 0 && listed <= 64);

    // The IDs that are there, then some that are not: another track's
    // cylinder and head, and values no record can carry.
    std::vector<SectorId> wanted;
    for (int32_t at = 0; at < listed; ++at) {
        check(infos[at].size >= 0 && infos[at].size <= 0xFFFF);
        wanted.push_back(infos[at].id);
    }
    wanted.push_back(SectorId{uint8_t(track >> 1), uint8_t(track & 1), 1, 3});
    wanted.push_back(SectorId{0xff, 0xff, 0xff, 0xff});

    for (const SectorId& id : wanted)
        readInto(reader, track, id, 1024);
    const SectorId& first = wanted[0];
    for (int32_t maxLen : {-1, 12, 70000})
        readInto(reader, track, first, maxLen);
    check(reader.readSector(track, 256, first.h, first.r, first.n, ids, 256) == 0);
    check(reader.readSector(track, first.c, first.h, -1, first.n, ids, 256) == 0);

    // 5,632 bytes of 1024-byte sectors cross a side at five a side.
    for (int32_t length : {-5, 640, 5632})
        runFrom(reader, track, first, first.n, length);
    runFrom(reader, track, first, 0, 4096);  // the smallest steps
    // The size codes readRun turns away.
    runFrom(reader, track, first, -1, 1024);
    runFrom(reader, track, first, 24, 1024);
}

struct TrackPick {
    int32_t image, track;
};

// The sides to read: among all sides of all images whose offset in the
// track table is not 0 (the others are unformatted and cost nothing to
// ask about, nor teach anything), a few evenly spread ones, the spread
// turned by the input's length. The mutants of one seed that add or take
// away bytes so look at other sides of it, and an input of a few sides is
// read whole.
// Not instrumented for coverage: its branches teach the fuzzer nothing
// about the reader, and a compare traced 10,000 times an input costs.
__attribute__((no_sanitize("coverage")))
std::vector<TrackPick> pickTracks(const D88Reader& reader, const uint8_t* data, size_t size)
{
    // Kept from input to input: 64 images make over 10,000 entries.
    static std::vector<TrackPick> formatted;
    formatted.clear();
    for (int32_t image = 0; image < reader.imageCount(); ++image) {
        // The catalogue holds only images whose header is there whole.
        const int32_t offset = reader.imageOffset(image);
        check(offset >= 0 && size_t(offset) + headerSize <= size);
        const uint8_t* table = data + offset + trackTableAt;
        for (int32_t track = 0; track < D88Reader::trackCount; ++track)
            if (readLe32(table + 4 * track) != 0)
                formatted.push_back(TrackPick{image, track});
    }
    std::vector<TrackPick> picks;
    if (formatted.size() <= size_t(pickedTracks))
        return picks = formatted;
    for (size_t k = 0; k < size_t(pickedTracks); ++k)
        picks.push_back(formatted[(size + k * formatted.size() / pickedTracks) %
                                  formatted.size()]);
    return picks;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Static, so that its destructor removes the file at exit.
    static InputFile file(scratchRoot() / ("fuzz_reader-" + std::to_string(getpid()) + ".d88"));
    inputFile = &file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    inputFile->write(data, size);

    D88Reader reader;
    // Before any image is current, nothing can be read.
    check(reader.readSector(0, 0, 0, 1, 3, nullptr, 0) == 0);
    if (!reader.open(inputFile->path()))
        return 0;
    const int32_t images = reader.imageCount();
    check(images >= 0 && images <= D88Reader::maxImages);
    check(!reader.imagesLeftOut() || images == D88Reader::maxImages);
    check(!reader.selectImage(images) && !reader.selectImage(-1));
    check(reader.imageOffset(images) == -1 && reader.imageOffset(-1) == -1);
    check(reader.mediaType() == -1 && reader.diskName()[0] == '\0');

    const std::vector<TrackPick> picks = pickTracks(reader, data, size);
    // (1, 5) is the set's range; the others make runs wander off a side.
    // Like the sides, the range turns with the input's length.
    const int32_t ranges[][2] = {{1, 5}, {1, 16}, {0, 0}, {5, 1}};
    for (int32_t index = 0; index < images; ++index) {
        // Selecting reads the image's header again, the same way for every
        // image: the first and the last stand for those with no side picked.
        bool picked = index == 0 || index == images - 1;
        for (const TrackPick& pick : picks)
            picked = picked || pick.image == index;
        if (!picked || !reader.selectImage(index))
            continue;
        check(reader.mediaType() >= 0 && reader.mediaType() <= 255);
        const int32_t* range = ranges[(size + size_t(index)) % 4];
        reader.setSectorRange(range[0], range[1]);
        if (index == 0) {
            // The sides outside the table.
            readTrack(reader, -1);
            readTrack(reader, D88Reader::trackCount);
        }
        for (const TrackPick& pick : picks)
            if (pick.image == index)
                readTrack(reader, pick.track);
    }

    // A second open of the same file starts afresh and finds the same.
    check(reader.open(inputFile->path()) && reader.imageCount() == images);
    reader.close();
    check(reader.imageCount() == 0 && !reader.imagesLeftOut() && !reader.selectImage(0));
    return 0;
}
