#include "core/d88_reader.h"

#include <algorithm>
#include <limits>

#include "platform/platform.h"

namespace {

// Image header, 688 bytes. The bytes between the name and the media type
// (reserved space and the write-protect flag) are never looked at.
constexpr int32_t headerSize   = 0x2B0;
constexpr int32_t nameAt       = 0x00;
constexpr int32_t nameLength   = 16;
constexpr int32_t mediaTypeAt  = 0x1B;
constexpr int32_t imageSizeAt  = 0x1C;
constexpr int32_t trackTableAt = 0x20;

// Sector record header, 16 bytes, followed at once by the sector's data.
// Density, deleted mark and status (0x6 to 0xD) are never looked at.
constexpr int32_t recordHeaderSize = 0x10;
constexpr int32_t idAt             = 0x0;  // C, H, R, N
constexpr int32_t recordCountAt    = 0x4;
constexpr int32_t dataSizeAt       = 0xE;

uint16_t readLe16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

int32_t readLe32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0])       | uint32_t(p[1]) << 8 |
                   uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

D88Reader::D88Reader()
    : position_(0), fileSize_(0), readFailed_(false), imageCount_(0), imagesLeftOut_(false), firstSector_(1),
      lastSector_(16), catalogue_{}
{
    forgetImage();
}

bool D88Reader::open(const char* path)
{
    // A second open starts afresh on the new file.
    close();
    // A directory opens as a stream on some systems but has no bytes to
    // give. A pipe gives its bytes once, but the images are found by
    // seeking from header to header and back again: read that way it
    // would seem to hold no image at all. Neither is an image file.
    const bool folder = platform::isDirectory(path);
    if (folder || platform::isStreamOnly(path)) {
        platform::setNotAFileError(folder);
        return false;
    }
    stream_.open(path, std::ios::binary);
    if (!stream_.is_open())
        return false;
    stream_.seekg(0, std::ios::end);
    fileSize_ = std::max<int64_t>(int64_t(stream_.tellg()), 0);

    // The file has no directory of its own: each image's size is the step
    // to the next one, so the walk hops from header to header until one
    // cannot be read whole.
    uint8_t header[headerSize];
    int64_t offset = 0;
    for (;;) {
        if (!seekTo(offset) || readBytes(header, headerSize) != headerSize)
            break;
        // A whole header where the 64th image says the next one begins
        // is an image the catalogue has no room for.
        if (imageCount_ == maxImages) {
            imagesLeftOut_ = true;
            break;
        }
        catalogue_[imageCount_++] = int32_t(offset);

        // A size of 0 makes the next step land on the same header again;
        // the 64-entry limit ends that walk, and the header read once more
        // is no image left out. A next image that would begin outside what
        // a signed 32-bit offset holds cannot be reached.
        const int32_t size = readLe32(header + imageSizeAt);
        if (size == 0 && imageCount_ == maxImages)
            break;
        offset += size;
        if (offset < 0 || offset > std::numeric_limits<int32_t>::max())
            break;
    }
    return true;
}

void D88Reader::close()
{
    if (stream_.is_open())
        stream_.close();
    stream_.clear();
    position_ = 0;
    fileSize_ = 0;
    readFailed_ = false;
    readError_.clear();
    imageCount_ = 0;
    imagesLeftOut_ = false;
    mediaType_ = -1;
}

int32_t D88Reader::imageOffset(int32_t index) const
{
    if (index < 0 || index >= imageCount_)
        return -1;
    return catalogue_[index];
}

void D88Reader::forgetImage()
{
    imageSize_ = 0;
    imageFileOffset_ = -1;
    std::fill(std::begin(trackOffsets_), std::end(trackOffsets_), 0);
    mediaType_ = -1;
    std::fill(std::begin(name_), std::end(name_), '\0');
}

bool D88Reader::selectImage(int32_t index)
{
    if (!stream_.is_open())
        return false;
    forgetImage();
    if (index < 0 || index >= imageCount_)
        return false;

    uint8_t header[headerSize];
    if (!seekTo(catalogue_[index]) || readBytes(header, headerSize) != headerSize)
        return false;

    imageFileOffset_ = catalogue_[index];
    imageSize_ = readLe32(header + imageSizeAt);
    mediaType_ = header[mediaTypeAt];
    for (int32_t t = 0; t < trackCount; ++t)
        trackOffsets_[t] = readLe32(header + trackTableAt + 4 * t);
    // The name field is 17 bytes, but only the first 16 are taken: a name
    // that fills them all has no NUL of its own.
    for (int32_t i = 0; i < nameLength && header[nameAt + i] != 0; ++i)
        name_[i] = char(header[nameAt + i]);
    return true;
}

void D88Reader::setSectorRange(int32_t first, int32_t last)
{
    firstSector_ = first;
    lastSector_ = last;
}

bool D88Reader::checkStream()
{
    // The end of the file only cuts a read short; the system failing to
    // read (EIO and the like) makes the stream bad, or, with a stream
    // library that takes a failed read for the end, leaves a read short
    // before the end (see counted). That is no short disk, and nothing
    // read after it can be trusted to mean anything: keep the reason, said
    // by the system right now, and read nothing more.
    if (stream_.bad() && !readFailed_) {
        readError_ = platform::lastError();
        readFailed_ = true;
    }
    return !readFailed_;
}

bool D88Reader::stoppedBeforeEnd()
{
    // Past where the file ended when opened is its end. The file may also
    // have shrunk since, which is an end too, not a failure: ask the
    // system for its size now.
    if (position_ >= fileSize_)
        return false;
    stream_.clear();
    stream_.seekg(0, std::ios::end);
    const int64_t size = stream_.fail() ? -1 : int64_t(stream_.tellg());
    if (size >= 0)
        fileSize_ = size;
    return size < 0 || position_ < size;
}

int64_t D88Reader::counted(int64_t asked)
{
    const int64_t got = stream_.gcount();
    position_ += got;
    if (got < asked && !readFailed_) {
        // The reason first, said by the system right after the read; then
        // whether the read really stopped before the end of the file.
        const std::string reason = platform::lastReadError();
        if (stream_.bad() || stoppedBeforeEnd()) {
            readError_ = reason;
            readFailed_ = true;
        }
    }
    return readFailed_ ? 0 : got;
}

bool D88Reader::seekTo(int64_t position)
{
    if (readFailed_)
        return false;
    // A read that ran into the end of the file leaves the stream failed;
    // every operation starts from a fresh seek, so clear that first.
    stream_.clear();
    stream_.seekg(std::streamoff(position));
    position_ = position;
    return checkStream() && !stream_.fail();
}

int32_t D88Reader::readBytes(uint8_t* buf, int32_t size)
{
    if (size <= 0 || readFailed_)
        return 0;
    platform::clearLastError();
    stream_.read(reinterpret_cast<char*>(buf), size);
    return int32_t(counted(size));
}

bool D88Reader::seekTrack(int32_t track)
{
    if (!stream_.is_open() || track < 0 || track >= trackCount)
        return false;
    // An offset of 0 marks a track that was never formatted. One that
    // points outside the image (negative, or past its size) is as good
    // as absent: there is nothing of this image to read there.
    const int32_t offset = trackOffsets_[track];
    if (offset <= 0 || offset > imageSize_)
        return false;
    return seekTo(int64_t(imageFileOffset_) + offset);
}

bool D88Reader::readRecordHeader(RecordHeader& record)
{
    uint8_t bytes[recordHeaderSize];
    if (readBytes(bytes, recordHeaderSize) != recordHeaderSize)
        return false;
    record.id = SectorId{bytes[idAt], bytes[idAt + 1], bytes[idAt + 2], bytes[idAt + 3]};
    record.recordCount = readLe16(bytes + recordCountAt);
    record.dataSize = readLe16(bytes + dataSizeAt);
    return true;
}

template <typename Visitor>
void D88Reader::walkTrack(int32_t track, Visitor visit)
{
    if (!seekTrack(track))
        return;
    // Every record repeats the track's record count, and each record's own
    // count decides whether the walk goes on. A count that overstates the
    // track reads on into whatever follows it, where the next track's
    // records carry their own, smaller count. The record whose count does
    // not reach past its position is still a record the walk has reached:
    // it is looked at, and the walk ends after it. A count of 0 ends the
    // walk before its record, as does a header cut by the end of file.
    RecordHeader record;
    for (int32_t i = 0; readRecordHeader(record) && record.recordCount != 0; ++i) {
        if (visit(record) == Walk::Stop)
            return;
        if (i >= record.recordCount - 1)
            return;
        // Skipping by reading on keeps the stream's buffer: a track's
        // records mostly lie in the bytes that its first read brought in,
        // where a seek would throw them away and read them again.
        platform::clearLastError();
        stream_.ignore(record.dataSize);
        counted(record.dataSize);
        if (readFailed_)
            return;
    }
}

int32_t D88Reader::readSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                              uint8_t* buf, int32_t maxLen)
{
    int32_t delivered = 0;
    walkTrack(track, [&](const RecordHeader& record) {
        const SectorId& id = record.id;
        if (id.c != c || id.h != h || id.r != r || id.n != n)
            return Walk::Continue;
        // A sector larger than the caller's room is cut short; one that
        // the file ends inside delivers only what is really there.
        delivered = readBytes(buf, std::min(record.dataSize, maxLen));
        return Walk::Stop;
    });
    return delivered;
}

int32_t D88Reader::readRun(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                           uint8_t* buf, int32_t length, RunStop* stop)
{
    // 128 << n must stay a positive 32-bit count.
    if (n < 0 || n > 23)
        return 0;
    const int32_t sectorSize = 128 << n;

    SectorPlace at{track, c, h, r};
    int32_t total = 0;
    while (total < length) {
        const int32_t step = std::min(sectorSize, length - total);
        const int32_t got = readSector(at.track, at.c, at.h, at.r, n, buf + total, step);
        if (got < step) {
            if (stop != nullptr)
                *stop = RunStop{at, got};
            break;
        }
        total += step;
        at = stepRun(at);
    }
    return total;
}

SectorPlace D88Reader::stepRun(SectorPlace at) const
{
    // Past the last sector of a side the run goes on at the first sector
    // of the next side: head 0 to head 1 of the same cylinder, head 1 to
    // head 0 of the next.
    if (at.r != lastSector_)
        return SectorPlace{at.track, at.c, at.h, at.r + 1};
    if (at.h == 0)
        return SectorPlace{at.track + 1, at.c, 1, firstSector_};
    return SectorPlace{at.track + 1, at.c + 1, 0, firstSector_};
}

int32_t D88Reader::listSectors(int32_t track, SectorInfo* out, int32_t maxCount)
{
    int32_t listed = 0;
    if (maxCount <= 0)
        return 0;
    walkTrack(track, [&](const RecordHeader& record) {
        out[listed++] = SectorInfo{record.id, record.dataSize};
        return listed < maxCount ? Walk::Continue : Walk::Stop;
    });
    return listed;
}
