#include "core/findings.h"

#include <limits>
#include <utility>

#include "platform/platform.h"

namespace {

// A track side may say it holds any number of records; a map of the disk
// shows this many of them at most.
constexpr int32_t maxListedSectors = 256;

}  // namespace

bool isWhole(const DiskFindings& disk)
{
    for (const OutputFindings& output : disk.outputs)
        if (output.state != OutputState::Whole)
            return false;
    return true;
}

bool isWhole(const ImageFindings& image)
{
    for (const DiskFindings& disk : image.disks)
        if (!isWhole(disk))
            return false;
    return true;
}

OutputFindings ImageWalk::readOutput(const PlanItem& item)
{
    OutputFindings out{};
    out.item = item;
    out.stop = RunStop{SectorPlace{item.track, item.c, item.h, item.r}, 0};
    out.offset = offsetOnDisk(reader_, item, out.early);
    if (out.offset < 0 || item.length < 0 || int64_t(out.offset) + item.length > std::numeric_limits<int32_t>::max()) {
        out.state = OutputState::Absent;
        return out;
    }

    // The run is read from its first sector, so the file's bytes begin
    // `offset` bytes into that sector and may go on over several sectors
    // and track sides.
    const int32_t wanted = out.offset + item.length;
    if (buffer_.size() < size_t(wanted))
        buffer_.resize(size_t(wanted));
    out.runBytes = reader_.readRun(item.track, item.c, item.h, item.r, sectorSizeCode,
                                   buffer_.data(), wanted, &out.stop);

    // A run that breaks off gives the file only the bytes really read;
    // one that breaks off before `offset` gives it none, and the cut still
    // writes it, empty.
    if (out.runBytes < wanted)
        out.fileBytes = out.runBytes > out.offset ? out.runBytes - out.offset : 0;
    else
        out.fileBytes = item.length;
    out.state = out.runBytes == 0                ? OutputState::Absent
                : out.fileBytes == item.length ? OutputState::Whole
                                                 : OutputState::Incomplete;

    if (out.fileBytes > 0) {
        const int32_t first = out.offset / sectorSize;
        const int32_t last = (out.offset + out.fileBytes - 1) / sectorSize;
        SectorPlace at{item.track, item.c, item.h, item.r};
        for (int32_t k = 0; k <= last; ++k, at = reader_.stepRun(at))
            if (k >= first)
                out.sectors.push_back(at);
    }
    return out;
}

void ImageWalk::walkDisk(ImageFindings& image, const LabelTest& test, WalkListener* listener)
{
    if (listener != nullptr)
        listener->disk(test);
    DiskFindings disk{test, Version::NotChecked, {}};
    for (const PlanItem& item : planOf(test.kind)) {
        const OutputFindings output = readOutput(item);
        // A file read through a failing drive is no file: it is neither
        // written nor reported, and the walk ends here.
        if (reader_.readFailed())
            break;
        if (item.check == VersionCheck::Announce)
            disk.version = output.early ? Version::Early : Version::Later;
        if (listener != nullptr)
            listener->output(output, buffer_.data() + output.offset);
        disk.outputs.push_back(output);
    }
    image.disks.push_back(std::move(disk));
}

ImageFindings ImageWalk::walk(int32_t index, bool listSides, WalkListener* listener)
{
    ImageFindings image{};
    image.index = index;
    image.offset = reader_.imageOffset(index);
    image.selected = selectSetImage(reader_, index);
    if (!image.selected)
        return image;
    image.name = reader_.diskName();
    image.mediaType = reader_.mediaType();
    image.size = reader_.imageSize();
    if (listSides) {
        image.sides.resize(D88Reader::trackCount);
        SectorInfo listed[maxListedSectors];
        for (int32_t track = 0; track < D88Reader::trackCount; ++track) {
            const int32_t count = reader_.listSectors(track, listed, maxListedSectors);
            image.sides[size_t(track)].assign(listed, listed + count);
        }
    }
    // The disk the first test names is walked before the second test
    // reads its label sector, in the order the cut goes.
    image.first = firstLabelTest(reader_);
    if (!reader_.readFailed() && image.first.finding == LabelFinding::Disk)
        walkDisk(image, image.first, listener);
    if (reader_.readFailed())
        return image;
    image.second = secondLabelTest(reader_);
    if (!reader_.readFailed() && image.second.finding == LabelFinding::Disk)
        walkDisk(image, image.second, listener);
    return image;
}

FileFindings scanFile(const char* path, const std::string& shownAs, ScanListener& listener)
{
    FileFindings file;
    file.path = shownAs;
    D88Reader reader;
    file.opened = reader.open(path);
    if (!file.opened) {
        file.openError = platform::lastError();
        listener.finished(file);
        return file;
    }
    file.imageCount = reader.imageCount();
    file.imagesLeftOut = reader.imagesLeftOut();
    listener.opened(file);
    ImageWalk walk(reader);
    for (int32_t index = 0; index < file.imageCount && !reader.readFailed(); ++index) {
        const ImageFindings image = walk.walk(index, true);
        // Findings cut short by a failing drive would tell of damage the
        // disk may not have.
        if (reader.readFailed())
            break;
        file.allWhole = isWhole(image) && file.allWhole;
        listener.image(image);
    }
    file.readFailed = reader.readFailed();
    file.readError = reader.readError();
    listener.finished(file);
    return file;
}
