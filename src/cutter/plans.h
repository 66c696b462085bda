// What the cutter knows about where each disk of the set keeps its files.
#pragma once

#include <cstdint>

#include "d88/d88_reader.h"

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

// Cuts every file of the disk's plan from the current image; the User
// Disk and Disks A and B carry no music and have no plan.
void runPlan(D88Reader& reader, DiskKind kind);

// Cuts one file per row of `table`, naming row i after `pattern` with i
// as a two-digit number ("MA1%02d" and row 3 give MA103). A row that
// cannot be read is skipped and the walk goes on.
void walkTable(D88Reader& reader, const CutEntry* table, const char* pattern,
               VersionCheck check = VersionCheck::None);
