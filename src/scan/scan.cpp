#include "scan/scan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cutter/cut_file.h"
#include "cutter/identify.h"
#include "cutter/plans.h"
#include "d88/d88_reader.h"
#include "platform/platform.h"

#include <nlohmann/json.hpp>

namespace {

// The version of the whole tool, d88cut's and d88scan's alike, as the
// build names it.
const char versionLine[] = "d88scan " D88CUT_VERSION "\n";

const char usageText[] =
    "usage: d88scan FILE.d88 [FILE.d88 ...]\n"
    "       d88scan --json FILE.d88 [FILE.d88 ...]\n"
    "       d88scan --version\n"
    "Reports what d88cut would do with each D88 file, and why: its images, the\n"
    "disks of the set d88cut would recognise in them, and every file it would\n"
    "not cut whole. Reads the files only; writes nothing.\n"
    "--json gives the same findings as one JSON document, with every sector of\n"
    "every image and the sectors each file would be cut from.\n"
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
    PlanItem item;
    int32_t offset;          // where the file begins in its run, as cut
    CutRead got;
    int32_t track, c, h, r;  // the sector the run stopped at
    int32_t stopBytes;       // what that sector gave, 0 when it is missing
};

bool whole(const FileVerdict& v)
{
    return v.got.runBytes > 0 && v.got.fileBytes == v.item.length;
}

// Reads a file's run as cutFile would, then, when it broke off, finds the
// sector it stopped at: every step before it was a whole sector.
FileVerdict judge(D88Reader& reader, const PlanItem& item, int32_t offset)
{
    FileVerdict v{item, offset,
                  readCut(reader, item.track, item.c, item.h, item.r, sectorSizeCode, offset,
                          item.length),
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
    const std::string name = v.item.name;
    if (v.got.runBytes == 0)
        return "    " + name + " absent (first " + stopReason(v) + ")\n";
    return "    " + name + " incomplete (" + std::to_string(v.got.fileBytes) + " of " +
           std::to_string(v.item.length) + " bytes; " + stopReason(v) + ")\n";
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

// Why a label test named no disk: "label on track 0: ...".
std::string labelFailure(const LabelTest& test)
{
    const std::string what = "label on track " + std::to_string(test.track) + ": ";
    switch (test.finding) {
    case LabelFinding::SectorAbsent:
        return what + "no sector C 0, H " + std::to_string(test.track) + ", R 1, N " +
               std::to_string(sectorSizeCode);
    case LabelFinding::TooShort:
        return what + "sector R 1 has only " + std::to_string(test.labelBytes) +
               " bytes, too short for the digit";
    case LabelFinding::NoLabel:
        return what + "first ten bytes " + quoted(test.head, labelLength) + " are not " +
               quoted(diskLabel);
    case LabelFinding::OtherDigit:
    case LabelFinding::Disk:
        break;
    }
    return what + "digit " + quoted(test.head + kindDigitAt, 1) + " names no disk (" +
           (test.track == 0 ? "\"0\" to \"4\" do" : "\"5\" does") + ")";
}

// A disk a label test named, and how every file of its plan would come
// out, in plan order.
struct DiskFindings {
    LabelTest test;
    const char* version;  // early or later, for the disk that is checked
    std::vector<FileVerdict> verdicts;
};

// One image: where it is, what its header says, what stands on its track
// sides, and the disks it would be cut as. The reads are d88cut's, in
// d88cut's order.
struct ImageFindings {
    int32_t index;
    int32_t offset;
    bool selected;  // false when its header cannot be read
    std::string name;
    int32_t mediaType;
    int32_t size;
    std::vector<std::vector<SectorInfo>> sides;  // by track index
    LabelTest first, second;
    std::vector<DiskFindings> disks;
};

bool allWhole(const DiskFindings& disk)
{
    for (const FileVerdict& v : disk.verdicts)
        if (!whole(v))
            return false;
    return true;
}

// Walks the plan of the disk a label test named, as runPlan would.
DiskFindings judgeDisk(D88Reader& reader, const LabelTest& test)
{
    DiskFindings disk{test, nullptr, {}};
    for (const PlanItem& item : planOf(test.kind)) {
        bool early = false;
        const int32_t offset = offsetOnDisk(reader, item, early);
        if (item.check == VersionCheck::Announce)
            disk.version = early ? "early" : "later";
        disk.verdicts.push_back(judge(reader, item, offset));
    }
    return disk;
}

// A track side may say it holds any number of records; a map of the disk
// shows this many of them at most.
constexpr int32_t maxListedSectors = 256;

ImageFindings judgeImage(D88Reader& reader, int32_t index)
{
    ImageFindings image{};
    image.index = index;
    image.offset = reader.imageOffset(index);
    image.selected = selectSetImage(reader, index);
    if (!image.selected)
        return image;
    image.name = reader.diskName();
    image.mediaType = reader.mediaType();
    image.size = reader.imageSize();
    image.sides.resize(D88Reader::trackCount);
    SectorInfo listed[maxListedSectors];
    for (int32_t track = 0; track < D88Reader::trackCount; ++track) {
        const int32_t count = reader.listSectors(track, listed, maxListedSectors);
        image.sides[size_t(track)].assign(listed, listed + count);
    }
    // The disk the first test names is walked before the second test
    // reads its label sector, as d88cut cuts it.
    image.first = firstLabelTest(reader);
    if (image.first.finding == LabelFinding::Disk)
        image.disks.push_back(judgeDisk(reader, image.first));
    image.second = secondLabelTest(reader);
    if (image.second.finding == LabelFinding::Disk)
        image.disks.push_back(judgeDisk(reader, image.second));
    return image;
}

bool allWhole(const ImageFindings& image)
{
    for (const DiskFindings& disk : image.disks)
        if (!allWhole(disk))
            return false;
    return true;
}

// ---- The text report ----

std::string diskText(const DiskFindings& disk)
{
    std::string source = labelSource(disk.test);
    if (disk.test.marker != MarkerFinding::NotRead)
        source += "; " + markerSource(disk.test);
    if (disk.version != nullptr)
        source += std::string("; cut as the ") + disk.version + " version";
    std::string text = "  " + std::string(diskKindName(disk.test.kind)) + " (" + source + "): ";
    if (disk.verdicts.empty())
        return text + "no files to cut\n";
    int32_t wholeFiles = 0;
    for (const FileVerdict& v : disk.verdicts)
        wholeFiles += whole(v) ? 1 : 0;
    text += std::to_string(disk.verdicts.size()) + " files, " + std::to_string(wholeFiles) +
            " would be cut whole\n";
    for (const FileVerdict& v : disk.verdicts)
        if (!whole(v))
            text += fileLine(v);
    return text;
}

std::string imageText(const ImageFindings& image)
{
    std::string text = "image " + std::to_string(image.index) + " at offset " +
                       std::to_string(image.offset);
    if (!image.selected)
        return text + ": header cannot be read\n";
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
    return text;
}

// ---- The same findings as JSON ----

using Json = nlohmann::ordered_json;

const char* labelFindingName(LabelFinding finding)
{
    switch (finding) {
    case LabelFinding::SectorAbsent: return "sectorAbsent";
    case LabelFinding::TooShort:     return "tooShort";
    case LabelFinding::NoLabel:      return "noLabel";
    case LabelFinding::OtherDigit:   return "otherDigit";
    case LabelFinding::Disk:         break;
    }
    return "disk";
}

const char* markerFindingName(MarkerFinding finding)
{
    switch (finding) {
    case MarkerFinding::NotRead:      return "notRead";
    case MarkerFinding::SectorAbsent: return "sectorAbsent";
    case MarkerFinding::TooShort:     return "tooShort";
    case MarkerFinding::Differs:      return "differs";
    case MarkerFinding::Present:      break;
    }
    return "present";
}

Json sectorJson(int32_t track, int32_t c, int32_t h, int32_t r)
{
    return Json{{"track", track}, {"c", c}, {"h", h}, {"r", r}};
}

Json bytesJson(const uint8_t* bytes, size_t count)
{
    Json list = Json::array();
    for (size_t i = 0; i < count; ++i)
        list.push_back(bytes[i]);
    return list;
}

Json outputJson(D88Reader& reader, const FileVerdict& v)
{
    // A run that breaks off before the file's first byte still makes
    // d88cut write the file, empty: incomplete, not absent.
    const char* state = whole(v) ? "whole" : v.got.runBytes > 0 ? "incomplete" : "absent";
    Json output{{"name", v.item.name},
                {"planned", v.item.length},
                {"bytes", v.got.fileBytes},
                {"state", state},
                {"offset", v.offset},
                {"first", sectorJson(v.item.track, v.item.c, v.item.h, v.item.r)}};
    // The sectors that give the file its bytes: those of the run that
    // hold a byte past the offset, as far as the file got.
    Json sectors = Json::array();
    int32_t track = v.item.track, c = v.item.c, h = v.item.h, r = v.item.r;
    if (v.got.fileBytes > 0) {
        const int32_t first = v.offset / sectorSize;
        const int32_t last = (v.offset + v.got.fileBytes - 1) / sectorSize;
        for (int32_t k = 0; k <= last; ++k) {
            if (k >= first)
                sectors.push_back(sectorJson(track, c, h, r));
            reader.stepRun(track, c, h, r);
        }
    }
    output["sectors"] = sectors;
    if (!whole(v)) {
        Json stop = sectorJson(v.track, v.c, v.h, v.r);
        stop["reason"] = v.stopBytes == 0 ? "missing" : "short";
        stop["bytes"] = v.stopBytes;
        stop["text"] = stopReason(v);
        output["stop"] = stop;
    }
    return output;
}

Json diskJson(D88Reader& reader, const DiskFindings& disk)
{
    const LabelTest& test = disk.test;
    Json json{{"kind", diskKindName(test.kind)},
              {"labelTrack", test.track},
              {"digit", escaped(test.head + kindDigitAt, 1)}};
    if (test.marker != MarkerFinding::NotRead) {
        json["marker"] = markerFindingName(test.marker);
        json["markerText"] = markerSource(test);
    }
    json["version"] = disk.version != nullptr ? Json(disk.version) : Json(nullptr);
    Json outputs = Json::array();
    for (const FileVerdict& v : disk.verdicts)
        outputs.push_back(outputJson(reader, v));
    json["outputs"] = outputs;
    return json;
}

Json reasonJson(const LabelTest& test)
{
    return Json{{"labelTrack", test.track},
                {"finding", labelFindingName(test.finding)},
                {"text", labelFailure(test)}};
}

Json imageJson(D88Reader& reader, const ImageFindings& image)
{
    Json json{{"index", image.index}, {"offset", image.offset}};
    if (!image.selected) {
        json["error"] = "header cannot be read";
        return json;
    }
    json["name"] = escaped(reinterpret_cast<const uint8_t*>(image.name.data()), image.name.size());
    json["nameBytes"] = bytesJson(reinterpret_cast<const uint8_t*>(image.name.data()),
                                  image.name.size());
    json["mediaType"] = image.mediaType;
    json["size"] = image.size;
    Json sides = Json::array();
    for (int32_t track = 0; track < D88Reader::trackCount; ++track) {
        const std::vector<SectorInfo>& side = image.sides[size_t(track)];
        if (side.empty())
            continue;
        Json sectors = Json::array();
        for (const SectorInfo& sector : side)
            sectors.push_back(Json{{"c", sector.id.c}, {"h", sector.id.h}, {"r", sector.id.r},
                                   {"n", sector.id.n}, {"size", sector.size}});
        sides.push_back(Json{{"track", track}, {"sectors", sectors}});
    }
    json["trackSides"] = sides;
    Json recognitions = Json::array();
    for (const DiskFindings& disk : image.disks)
        recognitions.push_back(diskJson(reader, disk));
    json["recognitions"] = recognitions;
    json["reasons"] = image.disks.empty()
                          ? Json::array({reasonJson(image.first), reasonJson(image.second)})
                          : Json::array();
    return json;
}

// Compact, as one line; a string that is not UTF-8 (a path's bytes, an
// error in the system's code page) gets U+FFFD where it breaks.
std::string jsonText(const Json& json)
{
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

int scan(int argc, const char* const argv[], std::ostream& out, std::ostream& err)
{
    std::vector<const char*> files;
    bool optionsEnd = false;
    bool asJson = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            files.push_back(argv[i]);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--json") {
            asJson = true;
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
    // The JSON document goes out as it is found, one image at a time: a
    // file of 64 images of 164 sides with hundreds of sectors each gives
    // a document of 100 MB, which held whole would take some GiB. The
    // library writes every value; only the brackets and commas between
    // the files and the images are written here.
    if (asJson)
        out << "{\"version\":1,\"files\":[";
    const char* fileSeparator = "";
    for (const char* path : files) {
        if (!out) {
            lost = platform::lastError();
            break;  // nobody reads the report any more
        }
        if (asJson)
            out << std::exchange(fileSeparator, ",");
        // A path is the command line's bytes; JSON takes UTF-8, and a byte
        // that is not becomes U+FFFD there.
        Json file{{"path", path}};
        D88Reader reader;
        if (!reader.open(path)) {
            const std::string why = platform::lastError();
            err << "d88scan: cannot open " << quoted(path) << ": " << why << '\n';
            file["error"] = why;
            if (asJson)
                out << jsonText(file);
            status = 2;
            continue;
        }
        const int32_t images = reader.imageCount();
        if (!asJson)
            out << "file " << quoted(path) << ": " << images
                << (images == 1 ? " image" : " images")
                << (reader.imagesLeftOut() ? ", and more past them that d88cut does not read\n"
                                           : "\n");
        file["imagesLeftUnread"] = reader.imagesLeftOut();
        file["images"] = Json::array();
        if (asJson) {
            // The file's object, open at its (empty, last) list of images.
            std::string head = jsonText(file);
            out << head.erase(head.size() - 2);
        }
        bool wholeFile = true;
        for (int32_t index = 0; index < images; ++index) {
            const ImageFindings image = judgeImage(reader, index);
            wholeFile = allWhole(image) && wholeFile;
            if (asJson)
                out << (index > 0 ? "," : "") << jsonText(imageJson(reader, image));
            else
                out << imageText(image);
        }
        if (asJson)
            out << "]}";
        if (!wholeFile && status == 0)
            status = 1;
    }
    if (asJson && out)
        out << "]}\n";
    if (!out.flush()) {
        err << "d88scan: cannot write the report: "
            << (lost.empty() ? platform::lastError() : lost) << '\n';
        return 2;
    }
    return status;
}
