#include "report/scan_words.h"

#include <cstdio>
#include <cstring>

namespace {

std::string sectorPlace(const SectorPlace& at)
{
    return "track " + std::to_string(at.track) + ", C " + std::to_string(at.c) + ", H " +
           std::to_string(at.h) + ", R " + std::to_string(at.r);
}

}  // namespace

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
    return quoted(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

std::string quoted(const uint8_t* bytes, size_t count)
{
    return '"' + escaped(bytes, count) + '"';
}

std::string stopReason(const OutputFindings& output)
{
    const std::string place = sectorPlace(output.stop.at);
    if (output.stop.got == 0)
        return "sector missing: " + place;
    return "sector short: " + place + " has " + std::to_string(output.stop.got) + " bytes";
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
