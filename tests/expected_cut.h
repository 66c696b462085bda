// The one model of a cut that every test compares against: the files each
// disk's plan cuts, as transcribed into tests/data/cut_plans.txt; the bytes
// a run of sectors yields on a disk the builder made; and what d88cut says
// and leaves for each file, and what d88scan's report makes of it.
#pragma once

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "disk_set.h"
#include "tool_output.h"

// The files each disk should yield, in the order they are written.
struct PlannedFile {
    std::string kind, name;
    int track, c, h, r, offset, length;
};

inline std::vector<PlannedFile> plannedFiles(const std::string& kind)
{
    std::ifstream in(CUT_PLANS_FILE);
    std::vector<PlannedFile> files;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        PlannedFile f;
        fields >> f.kind >> f.name >> f.track >> f.c >> f.h >> f.r >> f.offset >> f.length;
        if (f.kind == kind)
            files.push_back(f);
    }
    return files;
}

inline const char* planKind(SetDisk disk)
{
    switch (disk) {
    case SetDisk::Program: return "program";
    case SetDisk::DiskC:   return "diskc";
    case SetDisk::Start:   return "start";
    case SetDisk::JukeBox: return "jukebox";
    default:               return "none";
    }
}

// The sector a run reads after R `r` of `track`: the disks carry five
// sectors a side, so past R 5 a run goes on at R 1 of the next side.
inline void nextSector(int& track, int& r)
{
    if (r == setSectorsPerTrack) {
        ++track;
        r = 1;
    } else {
        ++r;
    }
}

// The sectors of a file's run that give it its bytes, as (track, R): those
// holding a byte past `offset`, as far as the file's `bytes` go.
inline std::vector<std::pair<int, int>> fileSectors(int track, int r, int offset, int bytes)
{
    std::vector<std::pair<int, int>> sectors;
    if (bytes <= 0)
        return sectors;
    const int first = offset / setSectorSize, last = (offset + bytes - 1) / setSectorSize;
    for (int k = 0; k <= last; ++k, nextSector(track, r))
        if (k >= first)
            sectors.emplace_back(track, r);
    return sectors;
}

// What a run of `wanted` bytes from R `r` of `track` delivers: a sector at
// a time, each step the rest of the run at most. A sector that is missing,
// or shorter than its step, ends the run and gives nothing.
inline Bytes runOf(const D88Builder& disk, int track, int r, int wanted)
{
    Bytes run;
    for (; int(run.size()) < wanted; nextSector(track, r)) {
        const size_t step = std::min(size_t(setSectorSize), size_t(wanted) - run.size());
        const D88Builder::Record* record = disk.find(track, r);
        if (record == nullptr || record->data.size() < step)
            break;
        run.insert(run.end(), record->data.begin(), record->data.begin() + long(step));
    }
    return run;
}

// How one planned file comes out: cut, or not at all when its run gave
// nothing (no line, no file); and the bytes the file holds.
struct FileOutcome {
    PlannedFile planned;
    bool cut;
    Bytes data;
};

// Every planned file of `disk` as cut from `image`. The early version's
// last two Start Disk files begin 256 bytes further into their sector.
inline std::vector<FileOutcome> expectedFiles(SetDisk disk, const D88Builder& image,
                                              bool early = false)
{
    std::vector<FileOutcome> files;
    for (PlannedFile f : plannedFiles(planKind(disk))) {
        if (early && (f.name == "MA502" || f.name == "MB502"))
            f.offset += 256;
        const Bytes run = runOf(image, f.track, f.r, f.offset + f.length);
        const long got = std::max(long(run.size()) - f.offset, 0L);
        files.push_back({f, !run.empty(), Bytes(run.end() - got, run.end())});
    }
    return files;
}

// What one run says and leaves, disk after disk: stdout, stderr, the files
// by name (a later file of a name replaces it) and d88scan's fixed lines
// (the disk, "NAME absent", "NAME incomplete N of M").
struct Outcome {
    std::string out, err;
    std::map<std::string, Bytes> files;
    std::vector<std::string> verdicts;
};

// Adds a recognised disk whose files came out as `files`. A file is
// whole when it holds its planned length; any other length is warned of.
inline void addDisk(Outcome& o, SetDisk disk, const std::vector<FileOutcome>& files,
                    bool early = false)
{
    o.out += recognised(messageName(disk));
    o.verdicts.push_back(messageName(disk));
    for (const FileOutcome& f : files) {
        const std::string& name = f.planned.name;
        if (early && name == "MA502")
            o.out += earlyVersionLine;
        if (!f.cut) {
            o.verdicts.push_back(name + " absent");
            continue;
        }
        o.out += cutting(name);
        o.files[name] = f.data;
        const std::string got = std::to_string(f.data.size()), of = std::to_string(f.planned.length);
        if (got != of) {
            o.err += "warning: " + name + " is incomplete: " + got + " of " + of +
                     " bytes could be read\n";
            o.verdicts.push_back(name + " incomplete " + got + " of " + of);
        }
    }
}

// A run over one image holding one disk of the set.
inline Outcome expectedOutcome(SetDisk disk, const D88Builder& image, bool early = false)
{
    Outcome o;
    addDisk(o, disk, expectedFiles(disk, image, early), early);
    return o;
}

// What stdout should say for one whole disk: its recognition line, then
// one line per file of its plan.
inline std::string expectedStdout(SetDisk disk)
{
    return expectedOutcome(disk, makeSetDisk(disk)).out;
}
