// The phrases d88scan's text report and its JSON share: how a byte string
// from a disk is shown, how a sector is named, and why a label test or a
// run of sectors came to nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/findings.h"

// Plain ASCII whatever the disk holds: printable bytes stand as they are,
// a backslash and a double quote are escaped, every other byte is \xNN.
std::string escaped(const uint8_t* bytes, size_t count);
std::string quoted(const char* text);
std::string quoted(const uint8_t* bytes, size_t count);

// "sector missing: track T, C c, H h, R r" or "sector short: ... has N bytes".
std::string stopReason(const OutputFindings& output);
// "label on track 0, digit "1"".
std::string labelSource(const LabelTest& test);
// "JukeBox marker on track 6, R 4", or why there is none.
std::string markerSource(const LabelTest& test);
// Why a label test named no disk: "label on track 0: ...".
std::string labelFailure(const LabelTest& test);
