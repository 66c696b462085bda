// Synthetic disks of the set, as the cutter expects them: 80 track sides of
// five 1024-byte sectors, the label sector in place, the JukeBox marker and
// the Start Disk's version byte where they belong. Every other byte tells
// where it came from, so a cut from the wrong place shows at once.
#pragma once

#include <cstdio>
#include <string>

#include "d88_builder.h"

enum class SetDisk { User, Program, DiskA, DiskB, DiskC, Start, JukeBox };

// In the order the set's disks are usually kept.
constexpr SetDisk allDisks[] = {SetDisk::User,  SetDisk::Program, SetDisk::DiskA, SetDisk::DiskB,
                                SetDisk::DiskC, SetDisk::Start,   SetDisk::JukeBox};

constexpr int setTrackCount = 80;
constexpr int setSectorsPerTrack = 5;
constexpr int setSectorSize = 1024;

// The label sector's digit: '0' to '4' on track 0, '5' on track 1.
inline char labelDigitOf(SetDisk disk)
{
    return char('0' + int(disk));
}

// Each 16 bytes of a sector read like "I03T041R4@3F0--\n": image tag,
// track index, R and the byte's offset in the sector, so a dump of any
// output file shows where each of its lines was cut from.
inline Bytes markedSector(int imageTag, int track, int r)
{
    Bytes data(setSectorSize);
    for (int at = 0; at < setSectorSize; at += 16) {
        char line[32];
        std::snprintf(line, sizeof line, "I%02dT%03dR%d@%03X--\n", imageTag % 100, track, r, at);
        std::memcpy(data.data() + at, line, 16);
    }
    return data;
}

struct SetDiskOptions {
    int imageTag = 0;           // sets the data apart from other images
    bool earlyVersion = false;  // Start Disk only: the early version's byte
};

inline D88Builder makeSetDisk(SetDisk disk, SetDiskOptions options = {})
{
    D88Builder builder;
    static const char* const names[] = {"USER DISK", "PROGRAM DISK", "DISK A", "DISK B",
                                        "DISK C",    "START DISK",   "JUKEBOX"};
    builder.setName(names[int(disk)]);
    for (int track = 0; track < setTrackCount; ++track)
        for (int r = 1; r <= setSectorsPerTrack; ++r)
            builder.addSector(track, SectorId{uint8_t(track >> 1), uint8_t(track & 1), uint8_t(r), 3},
                              markedSector(options.imageTag, track, r));

    const bool onTrack1 = disk == SetDisk::Start || disk == SetDisk::JukeBox;
    Bytes& label = builder.track(onTrack1 ? 1 : 0)[0].data;
    std::memcpy(label.data(), "SOLK-VARIN", 10);
    label[10] = ' ';
    label[11] = uint8_t(onTrack1 ? '5' : labelDigitOf(disk));

    if (disk == SetDisk::JukeBox) {
        // "ふよりこ" at byte 62 of track 6, R 4.
        const uint8_t marker[] = {0x82, 0xd3, 0x82, 0xe6, 0x82, 0xe8, 0x82, 0xb1};
        std::memcpy(builder.track(6)[3].data.data() + 62, marker, sizeof marker);
    }
    if (disk == SetDisk::Start)
        builder.track(37)[2].data[642] = options.earlyVersion ? 0x12 : 0x13;
    return builder;
}

// The disk with its sector R `r` of `track` gone, as a damaged dump has it.
inline D88Builder without(D88Builder disk, int track, int r)
{
    std::vector<D88Builder::Record>& records = disk.track(track);
    records.erase(records.begin() + (r - 1));
    return disk;
}

// `images` disks of the set, one after another, going round the set in
// the order its disks are usually kept: User Disk, Program Disk, Disks A to
// C, Start Disk, JukeBox, then the User Disk again. The data of image i is
// tagged `firstTag` + i.
inline Bytes makeDiskSequence(int images, int firstTag = 0)
{
    Bytes file;
    for (int i = 0; i < images; ++i) {
        const Bytes image = makeSetDisk(allDisks[i % 7], {firstTag + i}).image();
        file.insert(file.end(), image.begin(), image.end());
    }
    return file;
}

inline Bytes makeWholeSet()
{
    return makeDiskSequence(7);
}
