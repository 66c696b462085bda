#include "core/plans.h"

#include <cstdio>

namespace {

// A table of music files and how its rows are named: row i after
// `pattern` with i as a two-digit number ("MA1%02d" and row 3 give MA103).
struct PlanTable {
    const CutEntry* rows;
    const char* pattern;
    VersionCheck check;  // on the row the early version moves
};

// The files that are not music: two sound drivers and the ADPCM samples.
// Each: name, track index, C, H, R, offset, length.
const PlanItem startDiskItems[] = {
    {"FMDRV1",  1,  0, 1, 5, 512, 0x1600,  VersionCheck::None},
    {"FMDRV2",  3,  1, 1, 1,   0, 0x1300,  VersionCheck::None},
    // Sectors R 4 and R 5 of track 41, then all of tracks 42 to 79.
    {"ADPCM",  41, 20, 1, 4,   0, 0x30000, VersionCheck::None},
};

const PlanItem jukeBoxItems[] = {
    {"FMDRV1",  1,  0, 1, 5, 512, 0x1700,  VersionCheck::None},
    {"FMDRV2",  3,  1, 1, 1, 256, 0x1300,  VersionCheck::None},
    {"ADPCM",  60, 30, 0, 1,   0, 0x11000, VersionCheck::None},
};

// The music files, paired as MA and MB files of the same numbers.
// Each row: track index, R, offset, length; R 0 ends the table.

// Program Disk
const CutEntry ma1Table[] = {
    {14, 2, 256,  384},
    {14, 3,   0,  384},
    {21, 2, 640,  640},
    {21, 3, 256, 2176},
    {21, 5, 384, 1536},
    {22, 1, 896, 1152},
    {22, 3,   0,  768},
    {22, 3, 768, 1920},
    {22, 5, 640,  768},
    {23, 1, 384, 1152},
    {23, 2, 512,  768},
    {23, 3, 256, 1408},
    {23, 4, 640, 1280},
    {23, 5, 896,  768},
    {24, 1, 640, 1536},
    {24, 3, 128,  768},
    {24, 3, 896,  384},
    {24, 4, 256,  512},
    {24, 4, 768,  896},
    {24, 5, 640, 1024},
    {25, 1, 640,  512},
    {25, 2, 128,  896},
    {25, 3,   0, 1152},
    {25, 4, 128, 1280},
    {25, 5, 384, 1408},
    {26, 1, 768, 1408},
    {26, 3, 128, 1280},
    {26, 4, 384, 1408},
    {26, 5, 768, 1152},
    {27, 1, 896, 1408},
    {27, 3, 256, 1664},
    {27, 4, 896, 1152},
    {28, 1,   0, 1408},
    {28, 2, 384,  256},
    {28, 2, 768,  256},
    { 0, 0,   0,    0},
};

const CutEntry mb1Table[] = {
    {14, 2,   0,  256},
    {14, 2, 640,  384},
    {14, 3, 384,  640},
    {14, 4,   0, 2176},
    {15, 1, 128, 1536},
    {15, 2, 640, 1152},
    {15, 3, 768,  640},
    {15, 4, 384, 1920},
    {16, 1, 256,  768},
    {16, 2,   0, 1024},
    {16, 3,   0, 1024},
    {16, 4,   0, 1280},
    {16, 5, 256, 1024},
    {17, 1, 256,  768},
    {17, 2,   0, 1664},
    {17, 3, 640,  768},
    {17, 4, 384,  256},
    {17, 4, 640,  512},
    {17, 5, 128, 1024},
    {18, 1, 128,  896},
    {18, 2,   0,  512},
    {18, 2, 512,  896},
    {18, 3, 384, 1280},
    {18, 4, 640, 1280},
    {18, 5, 896, 1280},
    {19, 2, 128, 1280},
    {19, 3, 384, 1280},
    {19, 4, 640, 1408},
    {20, 1,   0, 1152},
    {20, 2, 128, 1408},
    {20, 3, 512, 1408},
    {20, 4, 896, 1152},
    {21, 1,   0, 1408},
    {21, 2, 384,  256},
    {28, 2, 640,  384},
    { 0, 0,   0,    0},
};

// Disk C
const CutEntry ma4Table[] = {
    {57, 3, 512, 4096},
    {58, 1,   0, 1536},
    { 0, 0,   0,    0},
};

const CutEntry mb4Table[] = {
    {56, 5,   0, 3584},
    {57, 2,   0, 1536},
    { 0, 0,   0,    0},
};

// Start Disk; row 2 as on the later version of the disk
const CutEntry ma5Table[] = {
    { 6, 3,   0,  768},
    { 6, 3, 768, 3328},
    {37, 3, 640,  768},
    { 0, 0,   0,    0},
};

const CutEntry mb5Table[] = {
    { 5, 4, 512,  768},
    { 5, 5, 256, 2816},
    {37, 3,   0,  640},
    { 0, 0,   0,    0},
};

// JukeBox
const CutEntry ma0Table[] = {
    {42, 4, 768, 2560},
    {43, 2, 256, 1536},
    {43, 3, 768, 3072},
    {44, 1, 768,  768},
    {44, 2, 512,  768},
    {44, 3, 256, 1536},
    {44, 4, 768, 1280},
    {45, 1,   0, 1536},
    {45, 2, 512,  768},
    {45, 3, 256, 1024},
    {45, 4, 256, 1024},
    {45, 5, 256,  768},
    {46, 1,   0, 1280},
    {46, 2, 256,  512},
    {46, 2, 768, 1024},
    {46, 3, 768, 1280},
    {46, 5,   0, 1280},
    {47, 1, 256, 1536},
    {47, 2, 768, 1536},
    {47, 4, 256, 1280},
    {47, 5, 512, 1536},
    {48, 2,   0, 1280},
    {48, 3, 256, 1536},
    {48, 4, 768, 1792},
    {49, 1, 512, 1536},
    {49, 3,   0,  512},
    {49, 3, 512, 1280},
    {49, 4, 768,  512},
    {49, 5, 256,  768},
    {50, 1,   0, 1536},
    {50, 2, 512, 1280},
    {50, 3, 768,  768},
    {50, 4, 512,  768},
    {50, 5, 256, 2048},
    {51, 2, 256, 2304},
    { 0, 0,   0,    0},
};

const CutEntry mb0Table[] = {
    {34, 1, 768, 2816},
    {34, 4, 512,  768},
    {34, 5, 256,  768},
    {35, 1,   0, 2304},
    {35, 3, 256, 1536},
    {35, 4, 768, 2048},
    {36, 1, 768,  768},
    {36, 2, 512,  768},
    {36, 3, 256,  512},
    {36, 3, 768,  768},
    {36, 4, 512, 1024},
    {36, 5, 512, 1024},
    {37, 1, 512, 1280},
    {37, 2, 768, 1280},
    {37, 4,   0,  768},
    {37, 4, 768,  512},
    {37, 5, 256, 1792},
    {38, 2,   0, 1024},
    {38, 3,   0, 1024},
    {38, 4,   0, 1024},
    {38, 5,   0,  512},
    {38, 5, 512, 1024},
    {39, 1, 512, 1280},
    {39, 2, 768, 1280},
    {39, 4,   0, 1280},
    {39, 5, 256, 1280},
    {40, 1, 512, 1280},
    {40, 2, 768, 1536},
    {40, 4, 256, 1280},
    {40, 5, 512, 1536},
    {41, 2,   0, 1536},
    {41, 3, 512, 1280},
    {41, 4, 768, 1536},
    {42, 1, 256, 2048},
    {42, 3, 256, 1536},
    { 0, 0,   0,    0},
};


// What each disk holds: its fixed items, then its tables, cut in that
// order. The User Disk and Disks A and B carry no music.
struct DiskPlan {
    const PlanItem* fixed;
    int32_t fixedCount;
    PlanTable tables[2];
};

const CutEntry noRows[] = {{0, 0, 0, 0}};
const PlanTable noTable = {noRows, "", VersionCheck::None};
const DiskPlan noPlan = {nullptr, 0, {noTable, noTable}};

const DiskPlan diskPlans[] = {
    noPlan,  // User Disk
    {nullptr, 0, {{ma1Table, "MA1%02d", VersionCheck::None},
                  {mb1Table, "MB1%02d", VersionCheck::None}}},  // Program Disk
    noPlan,  // Disk A
    noPlan,  // Disk B
    {nullptr, 0, {{ma4Table, "MA4%02d", VersionCheck::None},
                  {mb4Table, "MB4%02d", VersionCheck::None}}},  // Disk C
    {startDiskItems, 3, {{ma5Table, "MA5%02d", VersionCheck::Announce},
                         {mb5Table, "MB5%02d", VersionCheck::Quiet}}},  // Start Disk
    {jukeBoxItems, 3, {{ma0Table, "MA0%02d", VersionCheck::None},
                       {mb0Table, "MB0%02d", VersionCheck::None}}},  // JukeBox
};
static_assert(sizeof diskPlans / sizeof diskPlans[0] == int(DiskKind::JukeBox) + 1,
              "one plan for every disk of the set");

// The early version is told apart by one byte in the sector where the last
// MA5 and MB5 files begin: the later version has 0x13 there.
constexpr int32_t earlyVersionRow = 2;
constexpr int32_t versionByteAt = 642;
constexpr uint8_t laterVersionByte = 0x13;
constexpr int32_t earlyVersionShift = 256;

PlanItem rowItem(const PlanTable& table, int32_t i)
{
    const CutEntry& row = table.rows[i];
    PlanItem item{};
    std::snprintf(item.name, sizeof item.name, table.pattern, int(i));
    item.track = row.track;
    item.c = row.track >> 1;
    item.h = row.track & 1;
    item.r = row.sector;
    item.offset = row.offset;
    item.length = row.length;
    item.check = i == earlyVersionRow ? table.check : VersionCheck::None;
    return item;
}

}  // namespace

std::vector<PlanItem> planOf(DiskKind kind)
{
    const DiskPlan& plan = diskPlans[int(kind)];
    std::vector<PlanItem> items(plan.fixed, plan.fixed + plan.fixedCount);
    for (const PlanTable& table : plan.tables)
        for (int32_t i = 0; table.rows[i].sector != 0; ++i)
            items.push_back(rowItem(table, i));
    return items;
}

int32_t offsetOnDisk(D88Reader& reader, const PlanItem& item, bool& early)
{
    // The correction belongs to the disk being cut, not to the table:
    // every Start Disk in a file is checked on its own. A sector too short
    // to hold the version byte, or none at all, proves nothing; such a
    // disk is cut as the later version.
    early = false;
    if (item.check == VersionCheck::None)
        return item.offset;
    uint8_t sector[sectorSize];
    const int32_t got = reader.readSector(item.track, item.c, item.h, item.r, sectorSizeCode,
                                          sector, sectorSize);
    early = got > versionByteAt && sector[versionByteAt] != laterVersionByte;
    return early ? item.offset + earlyVersionShift : item.offset;
}
