#include "report/scan_json.h"

#include <string>

#include <nlohmann/json.hpp>

#include "report/scan_words.h"

namespace {

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

const char* stateName(OutputState state)
{
    switch (state) {
    case OutputState::Whole:      return "whole";
    case OutputState::Incomplete: return "incomplete";
    case OutputState::Absent:     break;
    }
    return "absent";
}

Json sectorJson(const SectorPlace& at)
{
    return Json{{"track", at.track}, {"c", at.c}, {"h", at.h}, {"r", at.r}};
}

Json bytesJson(const uint8_t* bytes, size_t count)
{
    Json list = Json::array();
    for (size_t i = 0; i < count; ++i)
        list.push_back(bytes[i]);
    return list;
}

Json outputJson(const OutputFindings& output)
{
    const PlanItem& item = output.item;
    Json json{{"name", item.name},
              {"planned", item.length},
              {"bytes", output.fileBytes},
              {"state", stateName(output.state)},
              {"offset", output.offset},
              {"first", sectorJson(SectorPlace{item.track, item.c, item.h, item.r})}};
    Json sectors = Json::array();
    for (const SectorPlace& at : output.sectors)
        sectors.push_back(sectorJson(at));
    json["sectors"] = sectors;
    if (output.state != OutputState::Whole) {
        Json stop = sectorJson(output.stop.at);
        stop["reason"] = output.stop.got == 0 ? "missing" : "short";
        stop["bytes"] = output.stop.got;
        stop["text"] = stopReason(output);
        json["stop"] = stop;
    }
    return json;
}

Json diskJson(const DiskFindings& disk)
{
    const LabelTest& test = disk.test;
    Json json{{"kind", diskKindName(test.kind)},
              {"labelTrack", test.track},
              {"digit", escaped(test.head + kindDigitAt, 1)}};
    if (test.marker != MarkerFinding::NotRead) {
        json["marker"] = markerFindingName(test.marker);
        json["markerText"] = markerSource(test);
    }
    switch (disk.version) {
    case Version::NotChecked: json["version"] = nullptr; break;
    case Version::Early:      json["version"] = "early"; break;
    case Version::Later:      json["version"] = "later"; break;
    }
    Json outputs = Json::array();
    for (const OutputFindings& output : disk.outputs)
        outputs.push_back(outputJson(output));
    json["outputs"] = outputs;
    return json;
}

Json reasonJson(const LabelTest& test)
{
    return Json{{"labelTrack", test.track},
                {"finding", labelFindingName(test.finding)},
                {"text", labelFailure(test)}};
}

Json imageJson(const ImageFindings& image)
{
    Json json{{"index", image.index}, {"offset", image.offset}};
    if (!image.selected) {
        json["error"] = "header cannot be read";
        return json;
    }
    const auto* name = reinterpret_cast<const uint8_t*>(image.name.data());
    json["name"] = escaped(name, image.name.size());
    json["nameBytes"] = bytesJson(name, image.name.size());
    json["mediaType"] = image.mediaType;
    json["size"] = image.size;
    Json sides = Json::array();
    for (size_t track = 0; track < image.sides.size(); ++track) {
        const std::vector<SectorInfo>& side = image.sides[track];
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
        recognitions.push_back(diskJson(disk));
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

// The library writes every value; only the brackets and commas between the
// files and the images are written here.
void JsonReport::begin()
{
    out_ << "{\"version\":1,\"files\":[";
}

void JsonReport::end()
{
    out_ << "]}\n";
}

void JsonReport::opened(const FileFindings& file)
{
    if (!firstFile_)
        out_ << ',';
    firstFile_ = false;
    firstImage_ = true;
    // A path is the command line's bytes; JSON takes UTF-8, and a byte
    // that is not becomes U+FFFD there.
    const Json head{{"path", file.path}, {"imagesLeftUnread", file.imagesLeftOut}};
    // The file's object, open for its list of images.
    std::string text = jsonText(head);
    text.pop_back();
    out_ << text << ",\"images\":[";
}

void JsonReport::image(const ImageFindings& image)
{
    out_ << (firstImage_ ? "" : ",") << jsonText(imageJson(image));
    firstImage_ = false;
}

void JsonReport::finished(const FileFindings& file)
{
    if (!file.opened) {
        if (!firstFile_)
            out_ << ',';
        firstFile_ = false;
        out_ << jsonText(Json{{"path", file.path}, {"error", file.openError}});
        return;
    }
    out_ << ']';
    if (file.readFailed)
        out_ << ",\"error\":" << jsonText(Json(file.readError));
    out_ << '}';
}
