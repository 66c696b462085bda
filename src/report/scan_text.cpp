#include "report/scan_text.h"

#include <cstdio>

#include "report/scan_words.h"

namespace {

const char* const versionNames[] = {nullptr, "early", "later"};

// "    NAME absent (...)" or "    NAME incomplete (N of M bytes; ...)".
std::string fileLine(const OutputFindings& output)
{
    const std::string name = output.item.name;
    if (output.state == OutputState::Absent)
        return "    " + name + " absent (first " + stopReason(output) + ")\n";
    return "    " + name + " incomplete (" + std::to_string(output.fileBytes) + " of " +
           std::to_string(output.item.length) + " bytes; " + stopReason(output) + ")\n";
}

std::string diskText(const DiskFindings& disk)
{
    std::string source = labelSource(disk.test);
    if (disk.test.marker != MarkerFinding::NotRead)
        source += "; " + markerSource(disk.test);
    if (disk.version != Version::NotChecked)
        source += std::string("; cut as the ") + versionNames[int(disk.version)] + " version";
    std::string text = "  " + std::string(diskKindName(disk.test.kind)) + " (" + source + "): ";
    if (disk.outputs.empty())
        return text + "no files to cut\n";
    int32_t wholeFiles = 0;
    for (const OutputFindings& output : disk.outputs)
        wholeFiles += output.state == OutputState::Whole ? 1 : 0;
    text += std::to_string(disk.outputs.size()) + " files, " + std::to_string(wholeFiles) +
            " would be cut whole\n";
    for (const OutputFindings& output : disk.outputs)
        if (output.state != OutputState::Whole)
            text += fileLine(output);
    return text;
}

}  // namespace

void TextReport::opened(const FileFindings& file)
{
    out_ << "file " << quoted(file.path.c_str()) << ": " << file.imageCount
         << (file.imageCount == 1 ? " image" : " images")
         << (file.imagesLeftOut ? ", and more past them that d88cut does not read\n" : "\n");
}

void TextReport::image(const ImageFindings& image)
{
    std::string text = "image " + std::to_string(image.index) + " at offset " +
                       std::to_string(image.offset);
    if (!image.selected) {
        out_ << text << ": header cannot be read\n";
        return;
    }
    int32_t sidesWithSectors = 0;
    for (const std::vector<SectorInfo>& side : image.sides)
        sidesWithSectors += side.empty() ? 0 : 1;
    char mediaType[8];
    std::snprintf(mediaType, sizeof mediaType, "0x%02x", unsigned(image.mediaType));
    text += ": name " + quoted(image.name.c_str()) + ", media type " + mediaType + ", " +
            std::to_string(image.size) + " bytes, " + std::to_string(sidesWithSectors) +
            " track sides with sectors\n";
    for (const DiskFindings& disk : image.disks)
        text += diskText(disk);
    if (image.disks.empty())
        text += "  - no disk of the set\n  - " + labelFailure(image.first) + "\n  - " +
                labelFailure(image.second) + "\n";
    out_ << text;
}

void TextReport::finished(const FileFindings& file)
{
    if (file.readFailed)
        out_ << "  error: cannot read the file: " << file.readError << '\n';
}

void ScanReports::opened(const FileFindings& file)
{
    for (ScanListener* writer : writers_)
        writer->opened(file);
}

void ScanReports::image(const ImageFindings& image)
{
    for (ScanListener* writer : writers_)
        writer->image(image);
}

void ScanReports::finished(const FileFindings& file)
{
    err_ << scanErrorLine(file);
    for (ScanListener* writer : writers_)
        writer->finished(file);
}

std::string scanErrorLine(const FileFindings& file)
{
    if (!file.opened)
        return "d88scan: cannot open " + quoted(file.path.c_str()) + ": " + file.openError + '\n';
    if (file.readFailed)
        return "d88scan: cannot read " + quoted(file.path.c_str()) + ": " + file.readError + '\n';
    return "";
}

int scanStatus(int status, const FileFindings& file)
{
    if (!file.opened || file.readFailed)
        return 2;
    if (!file.allWhole && status == 0)
        return 1;
    return status;
}
