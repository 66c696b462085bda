#include "scan/scan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cutter/cut_file.h"
#include "cutter/identify.h"
#include "cutter/plans.h"
#include "d88/d88_reader.h"
#include "platform/platform.h"

namespace {

// The version of the whole tool, d88cut's and d88scan's alike, as the
// build names it.
const char versionLine[] = "d88scan " D88CUT_VERSION "\n";

const char usageText[] =
    "usage: d88scan FILE.d88 [FILE.d88 ...]\n"
    "       d88scan --version\n"
    "Reports what d88cut would do with each D88 file, and why: its images, the\n"
    "disks of the set d88cut would recognise in them, and every file it would\n"
    "not cut whole. Reads the files only; writes nothing.\n"
    "Exit status: 0 when every file would be cut whole, 1 when one would be\n"
    "incomplete or absent, 2 on a usage error or a file that cannot be opened.\n"
    "This is d88scan " D88CUT_VERSION ".\n";

// The report is plain ASCII whatever the disk holds: printable bytes stand
// as they are, a backslash and a double quote are escaped, and every other
// byte is written as \xNN.
std::string escaped(const uint8_t* bytes, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == '\\') {
            text += "\\\\";
        } else if (b >= 0x20 && b < 0x7F && b != '"') {
            text += char(b);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            text += hex;
        }
    }
    return text;
}

std::string quoted(const char* text)
{
    return '"' + escaped(reinterpret_cast<const uint8_t*>(text), std::strlen(text)) + '"';
}

std::string quoted(const uint8_t* bytes, size_t count)
{
    return '"' + escaped(bytes, count) + '"';
}

std::string sectorPlace(int32_t track, int32_t c, int32_t h, int32_t r)
{
    return "track " + std::to_string(track) + ", C " + std::to_string(c) + ", H " +
           std::to_string(h) + ", R " + std::to_string(r);
}

// How one planned file would come out, and where its run breaks off.
struct FileVerdict {
    const PlanItem* item;
    CutRead got;
    int32_t track, c, h, r;  // the sector the run stopped at
    int32_t stopBytes;       // what that sector gave, 0 when it is missing
};

bool whole(const FileVerdict& v)
{
    return v.got.runBytes > 0 && v.got.fileBytes == v.item->length;
}

// Reads a file's run as cutFile would, then, when it broke off, finds the
// sector it stopped at: every step before it was a whole sector.
FileVerdict judge(D88Reader& reader, const PlanItem& item, int32_t offset)
{
    FileVerdict v{&item, readCut(reader, item.track, item.c, item.h, item.r, sectorSizeCode,
                                 offset, item.length),
                  item.track, item.c, item.h, item.r, 0};
    if (whole(v))
        return v;
    for (int32_t steps = v.got.runBytes / sectorSize; steps > 0; --steps)
        reader.stepRun(v.track, v.c, v.h, v.r);
    const int32_t step = std::min(sectorSize, offset + item.length - v.got.runBytes);
    v.stopBytes = reader.readSector(v.track, v.c, v.h, v.r, sectorSizeCode, sectorBuffer, step);
    return v;
}

std::string stopReason(const FileVerdict& v)
{
    const std::string place = sectorPlace(v.track, v.c, v.h, v.r);
    if (v.stopBytes == 0)
        return "sector missing: " + place;
    return "sector short: " + place + " has " + std::to_string(v.stopBytes) + " bytes";
}

// "    NAME absent (...)" or "    NAME incomplete (N of M bytes; ...)".
std::string fileLine(const FileVerdict& v)
{
    const std::string name = v.item->name;
    if (v.got.runBytes == 0)
        return "    " + name + " absent (first " + stopReason(v) + ")\n";
    return "    " + name + " incomplete (" + std::to_string(v.got.fileBytes) + " of " +
           std::to_string(v.item->length) + " bytes; " + stopReason(v) + ")\n";
}

std::string labelSource(const LabelTest& test)
{
    return "label on track " + std::to_string(test.track) + ", digit " +
           quoted(test.head + kindDigitAt, 1);
}

std::string markerSource(const LabelTest& test)
{
    const std::string sector = "track " + std::to_string(markerTrack) + ", R " +
                               std::to_string(markerSector);
    switch (test.marker) {
    case MarkerFinding::Present:
        return "JukeBox marker on " + sector;
    case MarkerFinding::SectorAbsent:
        return "no JukeBox marker: " + sector + " absent";
    case MarkerFinding::TooShort:
        return "no JukeBox marker: " + sector + " has only " +
               std::to_string(test.markerSectorBytes) + " bytes";
    case MarkerFinding::Differs:
    case MarkerFinding::NotRead:
        break;
    }
    return "no JukeBox marker: " + sector + " has " + quoted(test.markerBytes, markerLength) +
           " at byte " + std::to_string(markerAt);
}

// Why a label test named no disk.
std::string labelFailure(const LabelTest& test)
{
    const std::string what = "  - label on track " + std::to_string(test.track) + ": ";
    switch (test.finding) {
    case LabelFinding::SectorAbsent:
        return what + "no sector C 0, H " + std::to_string(test.track) + ", R 1, N " +
               std::to_string(sectorSizeCode) + "\n";
    case LabelFinding::TooShort:
        return what + "sector R 1 has only " + std::to_string(test.labelBytes) +
               " bytes, too short for the digit\n";
    case LabelFinding::NoLabel:
        return what + "first ten bytes " + quoted(test.head, labelLength) + " are not " +
               quoted(diskLabel) + "\n";
    case LabelFinding::OtherDigit:
    case LabelFinding::Disk:
        break;
    }
    return what + "digit " + quoted(test.head + kindDigitAt, 1) + " names no disk (" +
           (test.track == 0 ? "\"0\" to \"4\" do" : "\"5\" does") + ")\n";
}

// Walks the plan of the disk a label test named, as runPlan would, and
// reports it; false when some file would not be cut whole.
bool reportDisk(D88Reader& reader, const LabelTest& test, std::string& report)
{
    const std::vector<PlanItem> plan = planOf(test.kind);
    std::vector<FileVerdict> verdicts;
    const char* version = nullptr;
    for (const PlanItem& item : plan) {
        bool early = false;
        const int32_t offset = offsetOnDisk(reader, item, early);
        if (item.check == VersionCheck::Announce)
            version = early ? "cut as the early version" : "cut as the later version";
        verdicts.push_back(judge(reader, item, offset));
    }

    std::string source = labelSource(test);
    if (test.marker != MarkerFinding::NotRead)
        source += "; " + markerSource(test);
    if (version != nullptr)
        source += std::string("; ") + version;
    report += "  " + std::string(diskKindName(test.kind)) + " (" + source + "): ";
    if (plan.empty()) {
        report += "no files to cut\n";
        return true;
    }
    int32_t wholeFiles = 0;
    for (const FileVerdict& v : verdicts)
        wholeFiles += whole(v) ? 1 : 0;
    report += std::to_string(plan.size()) + " files, " + std::to_string(wholeFiles) +
              " would be cut whole\n";
    for (const FileVerdict& v : verdicts)
        if (!whole(v))
            report += fileLine(v);
    return wholeFiles == int32_t(plan.size());
}

int32_t tracksWithSectors(D88Reader& reader)
{
    int32_t count = 0;
    uint8_t id[4];
    for (int32_t track = 0; track < D88Reader::trackCount; ++track)
        count += reader.listSectorIds(track, id, sizeof id) > 0 ? 1 : 0;
    return count;
}

// Reports one image, making the reads d88cut makes in d88cut's order;
// false when some file would not be cut whole.
bool reportImage(D88Reader& reader, int32_t index, std::ostream& out)
{
    std::string report = "image " + std::to_string(index) + " at offset " +
                         std::to_string(reader.imageOffset(index));
    if (!selectSetImage(reader, index)) {
        out << report << ": header cannot be read\n";
        return true;
    }
    char mediaType[8];
    std::snprintf(mediaType, sizeof mediaType, "0x%02x", unsigned(reader.mediaType()));
    report += ": name " + quoted(reader.diskName()) + ", media type " + mediaType + ", " +
              std::to_string(reader.imageSize()) +
              " bytes, " + std::to_string(tracksWithSectors(reader)) +
              " track sides with sectors\n";

    bool allWhole = true;
    const LabelTest first = firstLabelTest(reader);
    if (first.finding == LabelFinding::Disk)
        allWhole = reportDisk(reader, first, report) && allWhole;
    const LabelTest second = secondLabelTest(reader);
    if (second.finding == LabelFinding::Disk)
        allWhole = reportDisk(reader, second, report) && allWhole;

    if (first.finding != LabelFinding::Disk && second.finding != LabelFinding::Disk)
        report += "  - no disk of the set\n" + labelFailure(first) + labelFailure(second);
    out << report;
    return allWhole;
}

}  // namespace

int scan(int argc, const char* const argv[], std::ostream& out, std::ostream& err)
{
    std::vector<const char*> files;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            files.push_back(argv[i]);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            out << (arg == "--version" ? versionLine : usageText);
            return out.flush() ? 0 : 2;
        } else {
            err << "d88scan: unknown option " << quoted(argv[i]) << '\n' << usageText;
            return 2;
        }
    }
    if (files.empty()) {
        err << usageText;
        return 2;
    }

    int status = 0;
    std::string lost;  // why the report could not be written, said as it failed
    for (const char* path : files) {
        if (!out) {
            lost = platform::lastError();
            break;  // nobody reads the report any more
        }
        D88Reader reader;
        if (!reader.open(path)) {
            err << "d88scan: cannot open " << quoted(path) << ": " << platform::lastError() << '\n';
            status = 2;
            continue;
        }
        const int32_t images = reader.imageCount();
        out << "file " << quoted(path) << ": " << images << (images == 1 ? " image" : " images")
            << (reader.imagesLeftOut() ? ", and more past them that d88cut does not read\n"
                                       : "\n");
        bool allWhole = true;
        for (int32_t index = 0; index < images; ++index)
            allWhole = reportImage(reader, index, out) && allWhole;
        if (!allWhole && status == 0)
            status = 1;
    }
    if (!out.flush()) {
        err << "d88scan: cannot write the report: "
            << (lost.empty() ? platform::lastError() : lost) << '\n';
        return 2;
    }
    return status;
}
