// D88 disk-image files: one or more floppy images stored back to back.
//
// Every image starts with a 688-byte header: a disk name, a media type, the
// image's size (header included, so it is also the distance to the next
// image) and a table of 164 track offsets, one per track side. A track is a
// row of sector records; each record is a 16-byte header carrying the
// sector's ID (C, H, R, N), the number of records on the track and the size
// of the data that follows it.
//
// The reader only reads. It keeps one stream position, and every operation
// seeks before it reads, so calls must not interleave.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

// The four ID bytes a sector carries in its record: cylinder, head, sector
// number and size code (data size 128 << N).
struct SectorId {
    uint8_t c, h, r, n;
};

// One record as it stands on a track: its sector's ID and the size of the
// data that follows its header.
struct SectorInfo {
    SectorId id;
    int32_t size;
};

// A sector as a run of sectors reaches it: its track index and the C, H
// and R it must carry.
struct SectorPlace {
    int32_t track, c, h, r;
};

// Where a run of sectors broke off: the sector it could not read whole,
// and how many bytes that sector gave (0 when it is missing).
struct RunStop {
    SectorPlace at;
    int32_t got;
};

class D88Reader {
public:
    static constexpr int32_t maxImages = 64;
    static constexpr int32_t trackCount = 164;

    D88Reader();

    // Opens a file and catalogues the images in it; false when the file
    // cannot be opened, with the system's reason left for
    // platform::lastError(). A file that opens but cannot be read (see
    // readFailed) still opens, with the images catalogued before the
    // failure.
    bool open(const char* path);
    // The last selected image's name, size, file offset and track offsets
    // stay as they were.
    void close();

    // True once the system failed to read the file (an I/O error, a drive
    // gone, a network share lost), as opposed to the file simply ending:
    // from then on every read gives nothing, so that no caller takes a
    // half-read disk for a damaged one. readError() is the system's reason.
    bool readFailed() const { return readFailed_; }
    const std::string& readError() const { return readError_; }

    int32_t imageCount() const { return imageCount_; }
    // True when the catalogue is full and a further image follows the
    // 64th: its header can be read whole where the 64th says it begins.
    bool imagesLeftOut() const { return imagesLeftOut_; }
    // Where image `index` begins in the file, or -1 outside the catalogue.
    int32_t imageOffset(int32_t index) const;

    // Makes image `index` current; false, with no current image, when the
    // index is outside the catalogue or its header cannot be read whole.
    bool selectImage(int32_t index);
    // The R of the first and last sector of a track side; readRun moves
    // from `last` on one side to `first` on the next.
    void setSectorRange(int32_t first, int32_t last);

    const char* diskName() const { return name_; }
    int32_t mediaType() const { return mediaType_; }
    // The current image's size as its header gives it, 0 when none.
    int32_t imageSize() const { return imageSize_; }

    // Reads the first record on `track` whose ID is (c, h, r, n) into buf,
    // at most maxLen bytes; returns the bytes delivered, 0 when not found.
    int32_t readSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                       uint8_t* buf, int32_t maxLen);
    // Reads `length` bytes from consecutive sectors of 128 << n bytes,
    // starting at (c, h, r, n) on `track` and going on across track sides;
    // returns the bytes of whole, successful steps. When the run breaks
    // off before `length`, `stop` (if given) is told the sector it could
    // not read whole and what that sector gave.
    int32_t readRun(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                    uint8_t* buf, int32_t length, RunStop* stop = nullptr);
    // The sector a run reads after `at`: the next R on the same side, or
    // past the last sector the first of the next side.
    SectorPlace stepRun(SectorPlace at) const;
    // Lists the records of `track` the same walk reaches, ID and data size,
    // at most `maxCount`; returns how many were listed.
    int32_t listSectors(int32_t track, SectorInfo* out, int32_t maxCount);

private:
    struct RecordHeader {
        SectorId id;
        int32_t recordCount;
        int32_t dataSize;
    };

    enum class Walk { Continue, Stop };

    // Visits the records of `track` in file order until the visitor stops
    // the walk or the track's records run out.
    template <typename Visitor>
    void walkTrack(int32_t track, Visitor visit);
    bool seekTo(int64_t position);
    int32_t readBytes(uint8_t* buf, int32_t size);
    bool seekTrack(int32_t track);
    bool readRecordHeader(RecordHeader& record);
    bool checkStream();
    bool stoppedBeforeEnd();
    // Moves the position on by what the last read or skip of `asked`
    // bytes got, and marks the reader failed when it stopped short before
    // the end; returns what it got, 0 once failed.
    int64_t counted(int64_t asked);
    void forgetImage();

    std::ifstream stream_;
    // Where the next read starts and how long the file was when opened: a
    // read that stops short before the end is a failure of the system,
    // whether or not the stream library marks it as one.
    int64_t position_;
    int64_t fileSize_;
    bool readFailed_;
    std::string readError_;
    int32_t imageCount_;
    bool imagesLeftOut_;
    int32_t firstSector_;
    int32_t lastSector_;
    int32_t catalogue_[maxImages];

    // The current image.
    int32_t imageSize_;
    int32_t imageFileOffset_;
    int32_t trackOffsets_[trackCount];
    int32_t mediaType_;
    char name_[17];
};
