// Telling the disks of the set apart by their label sectors. The cutter
// acts on what these tests find, and a scan reports it; both make the same
// reads in the same order through these functions.
#pragma once

#include <cstdint>

#include "core/d88_reader.h"

// Every sector the disks of the set carry holds 1024 bytes (N = 3).
constexpr int32_t sectorSizeCode = 3;
constexpr int32_t sectorSize = 128 << sectorSizeCode;

// The seven disks of the set, as their label sectors name them.
enum class DiskKind {
    UserDisk,
    ProgramDisk,
    DiskA,
    DiskB,
    DiskC,
    StartDisk,
    JukeBox,
};

// The disk's name as the recognition message spells it: "User Disk",
// "Program Disk", "Disk A", "Disk B", "Disk C", "Start Disk", "JukeBox".
const char* diskKindName(DiskKind kind);

// A label sector starts with the set's name; byte 10 varies between disks
// and is not looked at; byte 11 is an ASCII digit that tells the disk.
constexpr int32_t labelLength = 10;
constexpr int32_t kindDigitAt = 11;
extern const char diskLabel[labelLength + 1];  // "SOLK-VARIN"

// Both the Start Disk and the JukeBox carry digit '5'; the JukeBox alone
// has "ふよりこ" at byte 62 of sector R 4 on track 6 (C 3, H 0).
constexpr int32_t markerTrack = 6;
constexpr int32_t markerSector = 4;
constexpr int32_t markerAt = 62;
constexpr int32_t markerLength = 8;
extern const uint8_t jukeBoxMarker[markerLength];

// Makes image `index` current and sets the sector range the disks of the
// set have, R 1 to R 5 on every side; false when it cannot be selected.
bool selectSetImage(D88Reader& reader, int32_t index);

// What one label test found, with the bytes it looked at, so that a
// report can show them.
enum class LabelFinding {
    SectorAbsent,  // no label sector on the track
    TooShort,      // the sector ends before the digit
    NoLabel,       // its first ten bytes are not the label
    OtherDigit,    // the label, but a digit this test does not know
    Disk,          // a disk of the set: `kind`
};

enum class MarkerFinding {
    NotRead,        // the label test did not come so far
    SectorAbsent,   // no sector R 4 on track 6
    TooShort,       // it ends before the marker's last byte
    Differs,        // `markerBytes` are not the marker
    Present,
};

struct LabelTest {
    int32_t track;                     // of the label sector: 0 or 1
    int32_t labelBytes;                // read of it, at most 256
    uint8_t head[kindDigitAt + 1];     // its first bytes, as far as read
    LabelFinding finding;
    DiskKind kind;                     // when `finding` is Disk
    MarkerFinding marker;              // the second test's digit '5' only
    int32_t markerSectorBytes;
    uint8_t markerBytes[markerLength]; // as far as read
};

// The first label test: sector R 1 of track 0; digits
// '0' to '4' name the User Disk, the Program Disk and Disks A to C.
LabelTest firstLabelTest(D88Reader& reader);

// The second label test, made on every image whatever the first found:
// sector R 1 of track 1; on digit '5', sector R 4 of track 6 then tells
// the JukeBox, which carries the marker, from the Start Disk.
LabelTest secondLabelTest(D88Reader& reader);
