#include "cutter/run.h"

#include <cstring>
#include <iostream>

#include "cutter/cut_file.h"
#include "cutter/plans.h"

namespace {

// A label sector starts with the set's name; byte 10 varies between disks
// and is not looked at; byte 11 is an ASCII digit that tells the disk.
const char diskLabel[] = "SOLK-VARIN";
constexpr int32_t labelLength = 10;
constexpr int32_t kindDigitAt = 11;
constexpr int32_t labelReadSize = 256;  // of the 1024-byte label sector

// Both the Start Disk and the JukeBox carry digit '5'; the JukeBox alone
// has "ふよりこ" at byte 62 of sector R 4 on track 6.
const uint8_t jukeBoxMarker[] = {0x82, 0xd3, 0x82, 0xe6, 0x82, 0xe8, 0x82, 0xb1};
constexpr int32_t markerAt = 62;

constexpr int32_t sectorSizeCode = 3;

const char* const recognitionMessages[] = {
    // "User Disk を認識しました.\n"
    "User Disk \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
    // "Program Disk を認識しました.\n"
    "Program Disk \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
    // "Disk A を認識しました.\n"
    "Disk A \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
    // "Disk B を認識しました.\n"
    "Disk B \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
    // "Disk C を認識しました.\n"
    "Disk C \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
    // "Start Disk を認識しました.\n"
    "Start Disk \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
    // "JukeBox を認識しました.\n"
    "JukeBox \x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n",
};

// "ファイルをオープンできません.\n"
const char openFailureMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x83\x49\x81\x5b\x83\x76\x83\x93"
    "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.\n";

const char fallbackProgramName[] = "d88cut";

// Reads a label sector and gives its kind digit, or -1 when the sector has
// no label. A sector that is absent, or too short to hold the digit, has
// none: the buffer would still hold an earlier read's bytes.
int labelDigit(D88Reader& reader, int32_t track, int32_t c, int32_t h)
{
    const int32_t got = reader.readSector(track, c, h, 1, sectorSizeCode,
                                          sectorBuffer, labelReadSize);
    if (got <= kindDigitAt || std::memcmp(sectorBuffer, diskLabel, labelLength) != 0)
        return -1;
    return sectorBuffer[kindDigitAt];
}

bool hasJukeBoxMarker(D88Reader& reader)
{
    const int32_t got = reader.readSector(6, 3, 0, 4, sectorSizeCode,
                                          sectorBuffer, labelReadSize);
    return got >= markerAt + int32_t(sizeof jukeBoxMarker) &&
           std::memcmp(sectorBuffer + markerAt, jukeBoxMarker, sizeof jukeBoxMarker) == 0;
}

void recognise(D88Reader& reader, DiskKind kind)
{
    std::cout << recognitionMessages[int(kind)];
    runPlan(reader, kind);
}

void processImage(D88Reader& reader, int32_t index)
{
    if (!reader.selectImage(index))
        return;
    // The disks of the set have five sectors, R 1 to R 5, on every side.
    reader.setSectorRange(1, 5);

    // Track 0 names the disks whose digit is '0' to '4'.
    const int digit = labelDigit(reader, 0, 0, 0);
    if (digit >= '0' && digit <= '4')
        recognise(reader, DiskKind(int(DiskKind::UserDisk) + digit - '0'));

    // Track 1 names the Start Disk and the JukeBox. It is read for every
    // image, whatever track 0 said.
    if (labelDigit(reader, 1, 0, 1) == '5')
        recognise(reader, hasJukeBoxMarker(reader) ? DiskKind::JukeBox : DiskKind::StartDisk);
}

}  // namespace

int run(D88Reader& reader, int argc, const char* const argv[])
{
    if (argc != 2) {
        const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackProgramName;
        std::cerr << "Usage: " << program << " [d88file]\n";
        return 1;
    }
    if (!reader.open(argv[1])) {
        std::cerr << openFailureMessage;
        return 1;
    }
    protectInput(argv[1]);

    // A stdout that failed in an earlier run of this process says nothing
    // of this one.
    std::cout.clear();
    failedOutputs = 0;
    for (int32_t index = 0; index < reader.imageCount(); ++index)
        processImage(reader, index);
    if (reader.imagesLeftOut())
        std::cerr << "warning: only the first " << D88Reader::maxImages << " images of "
                  << argv[1] << " are read\n";

    // A full disk or a reader gone away behind stdout never stops the
    // cutting; the files are all written by now. Only the messages are
    // lost, and the status must not hide that.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "error: the messages could not be written to standard output\n";
        return 1;
    }
    return failedOutputs == 0 ? 0 : 1;
}
