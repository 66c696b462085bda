// The cut: every disk of the set in a D88 file, its files written into the
// current folder, and what happened told as events. Front ends turn the
// events into their own words; the cut itself says nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/d88_reader.h"
#include "core/identify.h"
#include "platform/platform.h"

// An output is written under its name with this added, then takes its
// name; a file of such a name is what a killed cut left behind.
constexpr const char temporarySuffix[] = ".d88cut-tmp";

enum class CutEventKind {
    Recognised,        // a label test named `disk`; its files follow
    EarlyVersion,      // the Start Disk is the early version (said once a disk)
    Cutting,           // the file `name` was read and is about to be written
    Incomplete,        // `name` was written with only `bytes` of `planned`
    InputInTheWay,     // `name` (or, with `temporary`, its temporary name) is the D88 file: not written
    WriteFailed,       // `name` could not be written: `why`; `making`: its temporary file could not be made
    ImagesLeftUnread,  // the file holds images past the 64th, which are not read
    ReadFailed,        // the system failed to read the D88 file: `why`; the cut has stopped
};

struct CutEvent {
    explicit CutEvent(CutEventKind kind) : kind(kind) {}

    CutEventKind kind;
    DiskKind disk = DiskKind::UserDisk;
    std::string name;
    int32_t bytes = 0;
    int32_t planned = 0;
    std::string why;
    bool temporary = false;
    bool making = false;
};

using CutEvents = std::function<void(const CutEvent&)>;

// Cuts every disk of the set in the open reader's file, image by image in
// file order, into the current folder, telling `events` what happens in the
// order it happens. Each file is written whole under a temporary name and
// then takes its own name in one step, or is not written at all; a file the
// run gave fewer bytes holds only the bytes really read. `input` is the D88
// file itself, which no output may replace. A failure of the system to read
// the D88 file stops the cut at once: the file being read is not written,
// those written before stay whole, and the last event says why.
void cutImages(D88Reader& reader, const platform::FileId& input, const CutEvents& events);
