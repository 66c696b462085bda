// What the cutter knows about where each disk of the set keeps its files.
#pragma once

#include <cstdint>
#include <vector>

#include "core/d88_reader.h"
#include "core/identify.h"

// One music file on a disk: where its first byte lies and how long it is.
// The sector ID's C and H follow from the track index (C = track >> 1,
// H = track & 1), and every sector holds 1024 bytes (N = 3).
struct CutEntry {
    int32_t track;   // track index of the first sector
    int32_t sector;  // R of the first sector, 1 to 5; 0 ends a table
    int32_t offset;  // bytes skipped at the start of the first sector
    int32_t length;  // bytes in the file
};

// The Start Disk exists in an early version whose last two music files sit
// 256 bytes further into their sector. Only the Start Disk's tables look
// for it, and only the first of them says so on stdout.
enum class VersionCheck { None, Quiet, Announce };

// One file of a disk's plan, as the cutter cuts it: the first sector of
// its run, and which bytes of the run are the file, as listed.
struct PlanItem {
    char name[16];           // "FMDRV1", "MA103"
    int32_t track, c, h, r;  // N is 3
    int32_t offset, length;
    // Other than None for the row whose offset the early version moves:
    // the version sector is read, and the offset corrected, right before
    // this item is cut.
    VersionCheck check;
};

// The files of a disk's plan, in the order they are cut: its fixed items
// (sound drivers and samples), then the rows of its tables. Empty for the
// User Disk and Disks A and B, which carry no music.
std::vector<PlanItem> planOf(DiskKind kind);

// Where the item's file begins in its run on the current image: as listed,
// or 256 bytes further on for the rows the early version of the Start Disk
// moves. For those rows alone it reads the version sector and sets
// `early`; every walk of a Start Disk's tables reads it anew.
int32_t offsetOnDisk(D88Reader& reader, const PlanItem& item, bool& early);
