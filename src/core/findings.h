// What a D88 file holds for the cutter, found in one pass: for every image,
// its track sides, what its label tests found, and for each disk of the
// set it is recognised as, how every file of that disk's plan comes out of
// its run of sectors and where and why a run broke off. The cut writes the
// files while this walk goes on; a scan hands what it found to a report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/d88_reader.h"
#include "core/identify.h"
#include "core/plans.h"

enum class OutputState {
    Whole,       // every byte the plan lists
    Incomplete,  // the run broke off after its first sector: a file of fewer bytes
    Absent,      // nothing at the run's first sector: no file at all
};

// One file of a disk's plan, as its run of sectors gave it.
struct OutputFindings {
    PlanItem item;
    int32_t offset;     // where the file begins in its run, as cut
    bool early;         // the early Start Disk moved it 256 bytes on
    int32_t runBytes;   // bytes of whole sectors the run gave from its first
    int32_t fileBytes;  // of them, the file's: past `offset`, at most its length
    OutputState state;
    // The sectors that give the file its bytes, in the order the run reads
    // them: those holding a byte past `offset`, as far as the file got.
    std::vector<SectorPlace> sectors;
    RunStop stop;  // where the run broke off, when the file is not whole
};

enum class Version { NotChecked, Early, Later };

// A disk of the set that a label test named, and its plan's files in the
// order they are cut.
struct DiskFindings {
    LabelTest test;
    Version version;  // the Start Disk's, told by its version sector
    std::vector<OutputFindings> outputs;
};

struct ImageFindings {
    int32_t index;
    int32_t offset;     // where the image begins in the file
    bool selected;      // false when its header cannot be read
    std::string name;   // the header's name bytes, up to 16
    int32_t mediaType;
    int32_t size;
    // The records of every track side by track index, as a reader's walk
    // reaches them; empty unless asked for.
    std::vector<std::vector<SectorInfo>> sides;
    LabelTest first, second;
    std::vector<DiskFindings> disks;
};

bool isWhole(const DiskFindings& disk);
bool isWhole(const ImageFindings& image);

// Told of each disk and each file as the walk comes to them, in the order
// the cut writes them: the disk the first label test names and its files,
// then the one the second names and its files.
class WalkListener {
public:
    // A label test named a disk of the set; its plan's files follow.
    virtual void disk(const LabelTest& test) = 0;
    // One file of the plan: `bytes` are its fileBytes bytes, good until the
    // walk reads on. Not called once the file could not be read (see
    // D88Reader::readFailed).
    virtual void output(const OutputFindings& output, const uint8_t* bytes) = 0;

protected:
    ~WalkListener() = default;
};

// Walks the images of one open D88 file, reading every run of sectors into
// room of its own, so nothing one file's run left can reach another file.
class ImageWalk {
public:
    explicit ImageWalk(D88Reader& reader) : reader_(reader) {}

    // Walks image `index`: selects it, lists its track sides when
    // `listSides`, makes the label tests and reads every file of each disk
    // they name, telling `listener` (when given) as it goes. A failure of
    // the system to read the file ends the walk where it happened.
    ImageFindings walk(int32_t index, bool listSides, WalkListener* listener = nullptr);

private:
    void walkDisk(ImageFindings& image, const LabelTest& test, WalkListener* listener);
    OutputFindings readOutput(const PlanItem& item);

    D88Reader& reader_;
    std::vector<uint8_t> buffer_;
};

// What one D88 file came to, for a report: the images are handed to a
// ScanListener one at a time, as found, and not kept.
struct FileFindings {
    std::string path;        // as the report names the file
    bool opened = false;
    std::string openError;   // the system's reason, when not opened
    int32_t imageCount = 0;
    bool imagesLeftOut = false;
    bool readFailed = false;
    std::string readError;   // the system's reason, when reading failed
    bool allWhole = true;    // every file of every disk recognised came out whole
};

class ScanListener {
public:
    // The file opened and its images were catalogued (as far as it could
    // be read); they follow.
    virtual void opened(const FileFindings& file) = 0;
    virtual void image(const ImageFindings& image) = 0;
    // The file is done with: not opened, read to its end, or failed.
    virtual void finished(const FileFindings& file) = 0;

protected:
    ~ScanListener() = default;
};

// Finds what the cut would do with the D88 file at `path` without writing
// anything, image by image, naming the file `shownAs` for the report.
FileFindings scanFile(const char* path, const std::string& shownAs, ScanListener& listener);
