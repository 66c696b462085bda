#include "core/identify.h"

#include <algorithm>
#include <cstring>

const char diskLabel[labelLength + 1] = "SOLK-VARIN";
const uint8_t jukeBoxMarker[markerLength] = {0x82, 0xd3, 0x82, 0xe6, 0x82, 0xe8, 0x82, 0xb1};

namespace {

// Only the start of the 1024-byte label sectors is looked at; each test
// reads it into room of its own, so no earlier read's bytes can stand
// where the label would be.
constexpr int32_t labelReadSize = 256;

// Reads a label sector and finds what it says, short of the digit's
// meaning. A sector that is absent, or too short to hold the digit, has no
// label.
LabelTest readLabel(D88Reader& reader, int32_t track, int32_t c, int32_t h)
{
    LabelTest test{};
    test.track = track;
    uint8_t sector[labelReadSize] = {};
    test.labelBytes = reader.readSector(track, c, h, 1, sectorSizeCode, sector, labelReadSize);
    std::memcpy(test.head, sector,
                size_t(std::clamp<int32_t>(test.labelBytes, 0, sizeof test.head)));
    if (test.labelBytes == 0)
        test.finding = LabelFinding::SectorAbsent;
    else if (test.labelBytes <= kindDigitAt)
        test.finding = LabelFinding::TooShort;
    else if (std::memcmp(test.head, diskLabel, labelLength) != 0)
        test.finding = LabelFinding::NoLabel;
    else
        test.finding = LabelFinding::OtherDigit;
    test.marker = MarkerFinding::NotRead;
    return test;
}

void readMarker(D88Reader& reader, LabelTest& test)
{
    uint8_t sector[labelReadSize] = {};
    test.markerSectorBytes = reader.readSector(markerTrack, markerTrack >> 1, markerTrack & 1,
                                               markerSector, sectorSizeCode, sector,
                                               labelReadSize);
    const int32_t held = std::clamp<int32_t>(test.markerSectorBytes - markerAt, 0, markerLength);
    std::memcpy(test.markerBytes, sector + markerAt, size_t(held));
    if (test.markerSectorBytes == 0)
        test.marker = MarkerFinding::SectorAbsent;
    else if (held < markerLength)
        test.marker = MarkerFinding::TooShort;
    else if (std::memcmp(test.markerBytes, jukeBoxMarker, markerLength) != 0)
        test.marker = MarkerFinding::Differs;
    else
        test.marker = MarkerFinding::Present;
}

}  // namespace

const char* diskKindName(DiskKind kind)
{
    static const char* const names[] = {
        "User Disk", "Program Disk", "Disk A", "Disk B", "Disk C", "Start Disk", "JukeBox",
    };
    return names[int(kind)];
}

bool selectSetImage(D88Reader& reader, int32_t index)
{
    if (!reader.selectImage(index))
        return false;
    reader.setSectorRange(1, 5);
    return true;
}

LabelTest firstLabelTest(D88Reader& reader)
{
    // Track 0 names the disks whose digit is '0' to '4'.
    LabelTest test = readLabel(reader, 0, 0, 0);
    const uint8_t digit = test.head[kindDigitAt];
    if (test.finding == LabelFinding::OtherDigit && digit >= '0' && digit <= '4') {
        test.finding = LabelFinding::Disk;
        test.kind = DiskKind(int(DiskKind::UserDisk) + digit - '0');
    }
    return test;
}

LabelTest secondLabelTest(D88Reader& reader)
{
    // Track 1 names the Start Disk and the JukeBox.
    LabelTest test = readLabel(reader, 1, 0, 1);
    if (test.finding == LabelFinding::OtherDigit && test.head[kindDigitAt] == '5') {
        readMarker(reader, test);
        test.finding = LabelFinding::Disk;
        test.kind = test.marker == MarkerFinding::Present ? DiskKind::JukeBox
                                                          : DiskKind::StartDisk;
    }
    return test;
}
