// Writes the seed corpora of the two fuzz targets:
//
//   make_seed_corpus OUT_DIR [TESTDATA_DIR]
//
// OUT_DIR/reader and OUT_DIR/run both get every disk of the set cut down to
// the tracks its label and its plan use, one whole disk, a few small
// damaged files, two small files of several images, and a copy of every
// .d88 file in TESTDATA_DIR. No seed holds more than one whole image: the
// fuzzers cut their inputs at an image and the next one's header, and a
// small seed is mutated many times faster than a large one, with the same
// code to reach.
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "disk_set.h"

namespace fs = std::filesystem;

namespace {

struct Seed {
    std::string name;
    Bytes data;
};

// The disk with only the track sides its label tests and its plan read;
// the others are absent from the track table.
D88Builder trimmed(SetDisk disk, std::vector<std::pair<int, int>> ranges,
                   SetDiskOptions options = {})
{
    const D88Builder whole = makeSetDisk(disk, options);
    D88Builder out;
    ranges.push_back({0, 1});  // the label sectors
    for (int track = 0; track < setTrackCount; ++track) {
        bool used = false;
        for (const auto& [first, last] : ranges)
            used = used || (track >= first && track <= last);
        for (int r = 1; used && r <= setSectorsPerTrack; ++r) {
            const D88Builder::Record* record = whole.find(track, r);
            out.addSector(track, record->id, record->data);
        }
    }
    return out;
}

std::vector<Seed> seeds()
{
    std::vector<Seed> out;
    // The disks without a plan: their label track is all the cutter reads.
    out.push_back({"user-trimmed.d88", trimmed(SetDisk::User, {}).image()});
    out.push_back({"disk-a-trimmed.d88", trimmed(SetDisk::DiskA, {}).image()});
    out.push_back({"disk-b-trimmed.d88", trimmed(SetDisk::DiskB, {}).image()});
    const Bytes diskC = trimmed(SetDisk::DiskC, {{56, 58}}).image();
    out.push_back({"program-trimmed.d88", trimmed(SetDisk::Program, {{14, 28}}).image()});
    out.push_back({"disk-c-trimmed.d88", diskC});
    out.push_back({"start-trimmed.d88",
                   trimmed(SetDisk::Start, {{1, 7}, {37, 37}, {41, 79}}).image()});
    const Bytes startEarly = trimmed(SetDisk::Start, {{5, 7}, {37, 37}}, {0, true}).image();
    out.push_back({"start-early-trimmed.d88", startEarly});
    out.push_back({"jukebox-trimmed.d88",
                   trimmed(SetDisk::JukeBox, {{1, 6}, {34, 51}, {60, 73}}).image()});
    // One disk with all its 80 track sides, as a real one has them.
    out.push_back({"jukebox.d88", makeSetDisk(SetDisk::JukeBox).image()});

    // Damaged files, small so that mutations of them run fast: counts that
    // overstate a track with a sector missing, a size field that swallows
    // the next record, a file that ends inside a record header, an image
    // size of 0 and a track offset that leads back into an earlier image.
    D88Builder lying = trimmed(SetDisk::DiskC, {{56, 58}});
    for (D88Builder::Record& record : lying.track(57))
        record.recordCount = 9;
    lying.track(57).erase(lying.track(57).begin() + 3);
    lying.track(58)[1].dataSize = 2000;
    out.push_back({"disk-c-lying-counts.d88", lying.image()});

    Bytes cut = diskC;
    cut.resize(cut.size() - 1024 - 16 - 1024 - 6);  // ends inside a record header
    out.push_back({"disk-c-cut-in-header.d88", cut});

    Bytes zeroSize = diskC;
    putLe32(zeroSize, 0x1C, 0);
    out.push_back({"disk-c-size-0.d88", zeroSize});

    // The second image's track 57 points back into the first image.
    Bytes second = diskC;
    putLe32(second, 0x20 + 4 * 57, readLe32(&diskC[0x20 + 4 * 57]) - uint32_t(diskC.size()));
    out.push_back({"disk-c-negative-offset.d88", join({diskC, second})});

    out.push_back({"header-only.d88", D88Builder().image()});
    out.push_back({"short-header.d88", Bytes(687, 0)});

    // Files of several images: two disks to cut, one after the other, and
    // one image more than the catalogue holds, each no more than a Disk C's
    // label sector.
    out.push_back({"disk-c-then-start-early.d88", join({diskC, startEarly})});
    D88Builder label;
    label.addSector(0, SectorId{0, 0, 1, 3},
                    makeSetDisk(SetDisk::DiskC).find(0, 1)->data);
    out.push_back({"label-only-65-images.d88", repeat(label.image(), D88Reader::maxImages + 1)});
    return out;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: make_seed_corpus OUT_DIR [TESTDATA_DIR]\n";
        return 1;
    }
    const fs::path readerDir = fs::path(argv[1]) / "reader";
    const fs::path runDir = fs::path(argv[1]) / "run";
    fs::create_directories(readerDir);
    fs::create_directories(runDir);

    std::vector<Seed> all = seeds();
    std::error_code error;
    if (argc == 3) {
        // Read and written anew, not copied: the originals are read-only
        // and must stay as they are.
        for (const auto& entry : fs::directory_iterator(argv[2], error)) {
            if (entry.path().extension() != ".d88")
                continue;
            all.push_back({"testdata-" + entry.path().filename().string(),
                           readBytes(entry.path())});
        }
        if (error)
            std::cerr << "make_seed_corpus: no " << argv[2] << "; going on without it\n";
    }

    for (const Seed& seed : all) {
        if (!writeBytes(readerDir / seed.name, seed.data) ||
            !writeBytes(runDir / seed.name, seed.data)) {
            std::cerr << "make_seed_corpus: cannot write " << seed.name << '\n';
            return 1;
        }
    }
    return 0;
}
