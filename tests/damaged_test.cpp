// Damaged images: lying record counts and sizes, track offsets and image
// sizes that point nowhere, files cut short, too many images, random bytes,
// and every sector of each disk's files taken away in turn. Each case names
// the exact outcome, not merely that the run survived.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "disk_set.h"
#include "expected_cut.h"
#include "test_support.h"

namespace {

Bytes labelSector(char digit)
{
    Bytes sector = markedSector(0, 0, 1);
    std::memcpy(sector.data(), "SOLK-VARIN ", 11);
    sector[11] = uint8_t(digit);
    return sector;
}

// A Disk A whose track 0 holds only its label sector.
D88Builder diskA()
{
    D88Builder disk;
    disk.addSector(0, SectorId{0, 0, 1, 3}, labelSector('2'));
    return disk;
}

std::string diskALines(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += recognised("Disk A");
    return out;
}

struct DamageCase {
    const char* what;
    Bytes file;
    int diskALines;  // how many times the label must be found
    std::string err;
};

std::vector<DamageCase> damageCases()
{
    std::vector<DamageCase> cases;
    auto add = [&](const char* what, Bytes file, int lines, std::string err = "") {
        cases.push_back(DamageCase{what, std::move(file), lines, std::move(err)});
    };
    D88Builder d;

    // Record counts. The label is the second record of track 0 here.
    auto twoRecords = [] {
        D88Builder disk;
        disk.addSector(0, SectorId{0, 0, 2, 3}, bytes(1024, 0));
        disk.addSector(0, SectorId{0, 0, 1, 3}, labelSector('2'));
        return disk;
    };
    d = twoRecords(); d.track(0)[0].recordCount = 1;
    add("count understating the track hides the label", d.image(), 0);
    d = twoRecords(); d.track(0)[1].recordCount = 1;
    add("count no greater than the record's position: that record is still read", d.image(), 1);
    d = twoRecords(); d.track(0)[0].recordCount = 1;
    d.addSector(0, SectorId{0, 0, 3, 3}, bytes(1024, 0));
    std::swap(d.track(0)[1], d.track(0)[2]);
    add("the walk ends after the record whose count is not greater", d.image(), 0);
    d = twoRecords(); d.track(0)[1].recordCount = 0;
    add("count of 0 ends the walk", d.image(), 0);
    d = twoRecords(); d.track(0)[0].recordCount = 9; d.track(0)[1].recordCount = 9;
    add("count overstating the track still finds the label", d.image(), 1);
    d = twoRecords(); d.track(0)[0].recordCount = 0xFFFF;
    d.track(0)[1].recordCount = 0xFFFF;
    add("count of 65535 walks on to the end of file", d.image(), 1);
    {
        // Track 0 claims two records; the second is track 1's.
        D88Builder disk;
        disk.addSector(0, SectorId{0, 0, 2, 3}, bytes(1024, 0)).recordCount = 2;
        disk.addSector(1, SectorId{0, 0, 1, 3}, labelSector('2')).recordCount = 2;
        add("overstated count reads on into the next track", disk.image(), 1);
    }

    // Data sizes.
    d = diskA(); d.track(0)[0].dataSize = 2048;
    add("size field larger than the sector", d.image(), 1);
    d = diskA(); d.track(0)[0].dataSize = 11;
    add("size field too small to hold the digit", d.image(), 0);
    d = twoRecords(); d.track(0)[0].dataSize = 1000;
    add("size field of the record before is short", d.image(), 0);

    // Track offsets and image sizes.
    d = diskA(); d.setTrackOffset(0, 0);
    add("track offset 0", d.image(), 0);
    {
        // Track 0's offset is 0 while the header's own first bytes read
        // as a record of C 0 H 0 R 1 N 3 whose data holds a label: an
        // unformatted track must not be read from the image's first byte.
        Bytes header = diskA().image();
        const uint8_t record[16] = {0, 0, 1, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01};
        std::memcpy(header.data(), record, sizeof record);
        std::memcpy(header.data() + 16, "SOLK-VARIN ", 11);
        header[0x1B] = '2';
        putLe32(header, 0x20, 0);
        add("track offset 0 is no track, even where the header reads as one", header, 0);
    }
    d = diskA(); d.setTrackOffset(0, uint32_t(d.image().size()) + 1);
    add("track offset past the image size", d.image(), 0);
    d = diskA(); d.setTrackOffset(0, 0xFFFFFD50u);  // -688
    add("negative track offset", d.image(), 0);
    d = diskA(); d.setImageSize(0);
    add("image size 0: every track lies past it", d.image(), 0);
    d = diskA(); d.setImageSize(0x80000000u);
    add("negative image size", d.image(), 0);
    d = diskA(); d.setImageSize(0x7FFFFFF0u);
    add("huge image size, one image", d.image(), 1);
    d = diskA(); d.setImageSize(0xFFFFFFFFu);
    add("image size -1 steps back inside the header", d.image(), 0);

    // Files cut short.
    const Bytes whole = diskA().image();
    add("file ends inside the record header", Bytes(whole.begin(), whole.begin() + 0x2B0 + 8), 0);
    add("file ends 5 bytes into the label", Bytes(whole.begin(), whole.begin() + 0x2B0 + 16 + 5), 0);
    add("file ends 12 bytes into the label", Bytes(whole.begin(), whole.begin() + 0x2B0 + 16 + 12), 1);
    add("file ends inside the header", Bytes(whole.begin(), whole.begin() + 600), 0);

    // Many images.
    const std::string leftOut = "warning: only the first 64 images of disk.d88 are read\n";
    add("64 images", repeat(whole, 64), 64);
    add("64 images and a header cut short", join({repeat(whole, 64), Bytes(600, 0)}), 64);
    add("65 images: the 65th is not reached, and that is said", repeat(whole, 65), 64, leftOut);
    d = diskA(); d.setImageSize(0);
    add("image size 0 reads the same header 64 times: nothing left out", d.image(), 0);
    return cases;
}

TEST(Damaged, EachDamageHasItsExactOutcome)
{
    for (const DamageCase& c : damageCases()) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        const RunResult result = runOnImage(dir, c.file);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, diskALines(c.diskALines));
        EXPECT_EQ(result.err, c.err);
        EXPECT_TRUE(outputFiles(dir.path(), "disk.d88").empty());
    }
}

TEST(Damaged, RandomBytesYieldNothing)
{
    std::mt19937 random(88);
    for (int i = 0; i < 40; ++i) {
        Bytes file(size_t(random() % 6000));
        for (uint8_t& b : file)
            b = uint8_t(random());
        // Half of them get a header whose size and track 0 stay in the file.
        if (i % 2 == 1 && file.size() > 0x2B0 + 16) {
            putLe32(file, 0x1C, uint32_t(file.size()));
            putLe32(file, 0x20, 0x2B0);
        }
        ScratchDir dir;
        const RunResult result = runOnImage(dir, file);
        EXPECT_EQ(result.status, 0) << i;
        EXPECT_EQ(result.out + result.err, "") << i;
    }
}

// The sectors a file's run reads, from the one it begins in.
std::vector<std::pair<int, int>> runSectors(const PlannedFile& f)
{
    std::vector<std::pair<int, int>> run;
    int track = f.track, r = f.r;
    for (int at = 0; at < f.offset + f.length; at += setSectorSize, nextSector(track, r))
        run.emplace_back(track, r);
    return run;
}

// Every sector that one of the disk's files reads.
std::set<std::pair<int, int>> sectorsRead(SetDisk disk)
{
    std::set<std::pair<int, int>> sectors;
    for (const PlannedFile& f : plannedFiles(planKind(disk)))
        for (const auto& sector : runSectors(f))
            sectors.insert(sector);
    return sectors;
}

// The sectors whose loss tells most: of each file's run the first, the
// middle and the last, and the two either side of each step to the next
// track side.
std::set<std::pair<int, int>> sectorsThatMatter(SetDisk disk)
{
    std::set<std::pair<int, int>> sectors;
    for (const PlannedFile& f : plannedFiles(planKind(disk))) {
        const auto run = runSectors(f);
        sectors.insert({run.front(), run[run.size() / 2], run.back()});
        for (size_t i = 1; i < run.size(); ++i)
            if (run[i].first != run[i - 1].first)
                sectors.insert({run[i - 1], run[i]});
    }
    return sectors;
}

// Each disk of the set with each of `pick`'s sectors removed in turn must
// give what the model foretells: the files before it whole, the one that
// reads it cut short, and the right lines.
void expectEachRemovalForetold(std::set<std::pair<int, int>> (*pick)(SetDisk))
{
    for (SetDisk disk : {SetDisk::Program, SetDisk::DiskC, SetDisk::Start, SetDisk::JukeBox}) {
        for (const auto& [track, r] : pick(disk)) {
            SCOPED_TRACE(std::string(messageName(disk)) + " track " + std::to_string(track) +
                         " R " + std::to_string(r));
            const D88Builder image = without(makeSetDisk(disk), track, r);
            ScratchDir dir;
            const RunResult result = runOnImage(dir, image.image());
            const Outcome expected = expectedOutcome(disk, image);
            ASSERT_EQ(result.out, expected.out);
            ASSERT_EQ(result.err, expected.err);
            ASSERT_EQ(result.status, 0);
            ASSERT_TRUE(outputFiles(dir.path(), "disk.d88") == expected.files);
        }
    }
}

TEST(Damaged, SectorsThatMatterRemovedInTurn)
{
    expectEachRemovalForetold(sectorsThatMatter);
}

// All of them: CTest's label "slow" (ctest -LE slow leaves it out).
TEST(Damaged, EverySectorOfEveryFileRemovedInTurn)
{
    expectEachRemovalForetold(sectorsRead);
}

}  // namespace
