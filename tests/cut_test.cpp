// The files the plans cut: every byte of every file, the early-version
// Start Disk, and what happens when sectors are missing or a file cannot
// be written.
#include <gtest/gtest.h>

#include "core/cut.h"
#include "disk_set.h"
#include "expected_cut.h"
#include "test_support.h"

namespace {

const SetDisk disksWithPlans[] = {SetDisk::Program, SetDisk::DiskC, SetDisk::Start,
                                  SetDisk::JukeBox};

std::string chunk(int tag, int track, int r, int at)
{
    return text(markedSector(tag, track, r)).substr(size_t(at), 16);
}

std::string head(const Bytes& file)
{
    return text(file).substr(0, 16);
}

std::string tail(const Bytes& file)
{
    return text(file).substr(file.size() - 16);
}

TEST(Plans, EveryFileHoldsExactlyTheBytesItsRowNames)
{
    for (SetDisk disk : disksWithPlans) {
        SCOPED_TRACE(messageName(disk));
        const D88Builder image = makeSetDisk(disk, {7});
        ScratchDir dir;
        const RunResult result = runOnImage(dir, image.image());
        const std::map<std::string, Bytes> files = outputFiles(dir.path(), "disk.d88");
        const Outcome expected = expectedOutcome(disk, image);
        for (const PlannedFile& f : plannedFiles(planKind(disk))) {
            SCOPED_TRACE(f.name);
            ASSERT_EQ(files.count(f.name), 1u);
            EXPECT_EQ(f.c, f.track >> 1);
            EXPECT_EQ(f.h, f.track & 1);
            EXPECT_EQ(files.at(f.name).size(), size_t(f.length));
            EXPECT_TRUE(files.at(f.name) == expected.files.at(f.name));
        }
        EXPECT_EQ(files.size(), expected.files.size());
        EXPECT_EQ(result.out, expected.out);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
    }
}

TEST(Plans, FilesCrossSectorsAndTrackSidesAsTheDisksLayThemOut)
{
    ScratchDir dir;
    runOnImage(dir, makeSetDisk(SetDisk::Start).image());
    // The sound driver starts 512 bytes into R 5 of track 1 and goes on
    // over R 1 to R 5 of track 2, the next side.
    const Bytes fmdrv1 = readBytes(dir / "FMDRV1");
    ASSERT_EQ(fmdrv1.size(), 5632u);
    EXPECT_EQ(head(fmdrv1), chunk(0, 1, 5, 0x200));
    EXPECT_EQ(text(fmdrv1).substr(512, 16), chunk(0, 2, 1, 0));
    EXPECT_EQ(tail(fmdrv1), chunk(0, 2, 5, 0x3F0));
    // The samples end exactly at the last sector of track 79.
    const Bytes adpcm = readBytes(dir / "ADPCM");
    ASSERT_EQ(adpcm.size(), 196608u);
    EXPECT_EQ(head(adpcm), chunk(0, 41, 4, 0));
    EXPECT_EQ(tail(adpcm), chunk(0, 79, 5, 0x3F0));

    ScratchDir jukeBoxDir;
    runOnImage(jukeBoxDir, makeSetDisk(SetDisk::JukeBox).image());
    EXPECT_EQ(readBytes(jukeBoxDir / "FMDRV1").size(), 5888u);
    const Bytes fmdrv2 = readBytes(jukeBoxDir / "FMDRV2");
    ASSERT_EQ(fmdrv2.size(), 4864u);
    EXPECT_EQ(head(fmdrv2), chunk(0, 3, 1, 0x100));
    const Bytes samples = readBytes(jukeBoxDir / "ADPCM");
    ASSERT_EQ(samples.size(), 69632u);
    EXPECT_EQ(tail(samples), chunk(0, 73, 3, 0x3F0));

    ScratchDir programDir;
    runOnImage(programDir, makeSetDisk(SetDisk::Program).image());
    const Bytes ma100 = readBytes(programDir / "MA100");
    ASSERT_EQ(ma100.size(), 384u);
    EXPECT_EQ(head(ma100), chunk(0, 14, 2, 0x100));
    EXPECT_EQ(tail(ma100), chunk(0, 14, 2, 0x270));
    // The last rows of the two tables overlap in the last 256 bytes of
    // track 28, R 2; both files are cut in full.
    EXPECT_EQ(head(readBytes(programDir / "MA134")), chunk(0, 28, 2, 0x300));
    EXPECT_EQ(head(readBytes(programDir / "MB134")), chunk(0, 28, 2, 0x280));
}

TEST(EarlyVersion, ShiftsTheLastFilesOfBothTables)
{
    ScratchDir dir;
    const D88Builder early = makeSetDisk(SetDisk::Start, {0, true});
    const RunResult result = runOnImage(dir, early.image());
    EXPECT_EQ(result.out, expectedOutcome(SetDisk::Start, early, true).out);
    const Bytes ma502 = readBytes(dir / "MA502");
    const Bytes mb502 = readBytes(dir / "MB502");
    ASSERT_EQ(ma502.size(), 768u);
    ASSERT_EQ(mb502.size(), 640u);
    EXPECT_EQ(head(ma502), chunk(0, 37, 3, 0x380));
    EXPECT_EQ(head(mb502), chunk(0, 37, 3, 0x100));
}

TEST(EarlyVersion, CorrectionBelongsToTheDiskBeingCut)
{
    // An early disk first, then a later one: the second is cut as listed.
    const D88Builder early = makeSetDisk(SetDisk::Start, {0, true});
    const D88Builder later = makeSetDisk(SetDisk::Start, {1});
    ScratchDir dir;
    const RunResult result = runOnImage(dir, join({early.image(), later.image()}));
    Outcome expected;
    addDisk(expected, SetDisk::Start, expectedFiles(SetDisk::Start, early, true), true);
    addDisk(expected, SetDisk::Start, expectedFiles(SetDisk::Start, later));
    EXPECT_EQ(result.out, expected.out);
    EXPECT_TRUE(outputFiles(dir.path(), "disk.d88") == expected.files);
}

TEST(EarlyVersion, VersionByteOutsideTheSectorProvesNothing)
{
    struct VersionCase {
        const char* what;
        size_t sectorSize;
        bool early;
    };
    const VersionCase cases[] = {
        {"sector ends before the version byte", 642, false},
        {"sector ends right after it", 643, true},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.what);
        D88Builder disk = makeSetDisk(SetDisk::Start, {0, true});
        disk.track(37)[2].data.resize(c.sectorSize);
        ScratchDir dir;
        const RunResult result = runOnImage(dir, disk.image());
        EXPECT_EQ(result.out.find(earlyVersionLine) != std::string::npos, c.early);
    }
}

TEST(Plans, LaterDiskReplacesSameNamedFiles)
{
    ScratchDir dir;
    writeBytes(dir / "MA400", bytes(10000, 0xEE));
    const Bytes set = makeWholeSet();
    const RunResult result = runOnImage(dir, set);
    EXPECT_EQ(result.status, 0);
    // The Disk C (tag 4) wrote over the old MA400; the JukeBox (tag 6) came
    // after the Start Disk and left its own drivers and samples.
    EXPECT_EQ(readBytes(dir / "MA400").size(), 4096u);
    EXPECT_EQ(head(readBytes(dir / "MA400")), chunk(4, 57, 3, 0x200));
    EXPECT_EQ(readBytes(dir / "FMDRV1").size(), 5888u);
    EXPECT_EQ(head(readBytes(dir / "ADPCM")), chunk(6, 60, 1, 0));
}

TEST(CutFile, LinkOfTheSameNameIsReplacedNotWrittenThrough)
{
    ScratchDir dir;
    ScratchDir elsewhere;
    writeBytes(elsewhere / "keep", bytes(100, 0x55));
    std::error_code error;
    fs::create_symlink(elsewhere / "keep", dir / "MA401", error);
    if (error)
        GTEST_SKIP() << "symbolic links cannot be made here (" << error.message()
                     << "); on Windows they need Developer Mode or an administrator";
    runOnImage(dir, makeSetDisk(SetDisk::DiskC).image());
    EXPECT_FALSE(fs::is_symlink(dir / "MA401"));
    EXPECT_EQ(readBytes(dir / "MA401").size(), 1536u);
    EXPECT_TRUE(readBytes(elsewhere / "keep") == bytes(100, 0x55));
}

TEST(CutFile, MissingFirstSectorIsSkippedSilently)
{
    // MA100, MB100 and MB101 all begin in track 14, R 2.
    ScratchDir dir;
    const RunResult result = runOnImage(dir, without(makeSetDisk(SetDisk::Program), 14, 2).image());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::map<std::string, Bytes> files = outputFiles(dir.path(), "disk.d88");
    EXPECT_EQ(files.size(), 67u);
    for (const char* name : {"MA100", "MB100", "MB101"}) {
        EXPECT_EQ(files.count(name), 0u) << name;
        EXPECT_EQ(result.out.find(cutting(name)), std::string::npos) << name;
    }
    EXPECT_EQ(files.count("MA101"), 1u);
}

TEST(CutFile, RunBrokenAfterWholeSectorsKeepsOnlyWhatWasRead)
{
    struct BrokenCase {
        const char* what;
        int removedR;    // of track 22; MA105 starts 896 bytes into R 1
        size_t keptSize; // 0 removes the sector, else its data is cut to this
    };
    const BrokenCase cases[] = {
        {"second sector missing", 2, 0},
        {"second sector shorter than the step", 2, 512},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.what);
        D88Builder disk = makeSetDisk(SetDisk::Program);
        std::vector<D88Builder::Record>& track22 = disk.track(22);
        if (c.keptSize == 0)
            track22.erase(track22.begin() + (c.removedR - 1));
        else
            track22[size_t(c.removedR - 1)].data.resize(c.keptSize);
        ScratchDir dir;
        const RunResult result = runOnImage(dir, disk.image());
        EXPECT_NE(result.out.find(cutting("MA105")), std::string::npos);
        const Bytes ma105 = readBytes(dir / "MA105");
        ASSERT_EQ(ma105.size(), 128u);
        EXPECT_EQ(text(ma105), chunk(0, 22, 1, 0x380) + chunk(0, 22, 1, 0x390) +
                                   text(markedSector(0, 22, 1)).substr(0x3A0));
        EXPECT_NE(result.err.find("warning: MA105 is incomplete: 128 of 1152 bytes"),
                  std::string::npos);
        EXPECT_EQ(result.status, 0);
    }
}

TEST(CutFile, UnwritableOutputIsReportedAndTheRunGoesOn)
{
    ScratchDir dir;
    fs::create_directory(dir / "MA401");
    const RunResult result = runOnImage(dir, makeSetDisk(SetDisk::DiskC).image());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, expectedStdout(SetDisk::DiskC));
    // The line gives the system's reason, which is its own to word.
    const std::string prefix = "error: cannot write MA401: ";
    EXPECT_EQ(result.err.compare(0, prefix.size(), prefix), 0) << result.err;
    EXPECT_GT(result.err.size(), prefix.size() + 1);
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_TRUE(fs::is_directory(dir / "MA401"));
    EXPECT_EQ(readBytes(dir / "MB401").size(), 1536u);
    EXPECT_FALSE(fs::exists(dir / ("MA401" + std::string(temporarySuffix))));

    // A later run in the same process starts with no failures of its own.
    ScratchDir clean;
    EXPECT_EQ(runOnImage(clean, makeSetDisk(SetDisk::DiskC).image()).status, 0);
}

}  // namespace

namespace {

// A volume that numbers its files with 128 bits may give two files the
// same low 64; the D88 file must never be taken for another file, nor
// another for it.
TEST(Platform, SameFileComparesTheWholeFileId)
{
    const platform::FileId a{true, 7, 0x1234, 1};
    platform::FileId b = a;
    EXPECT_TRUE(platform::sameFile(a, b));
    b.indexHigh = 2;
    EXPECT_FALSE(platform::sameFile(a, b));
    b = a;
    b.device = 8;
    EXPECT_FALSE(platform::sameFile(a, b));
    b = a;
    b.valid = false;
    EXPECT_FALSE(platform::sameFile(a, b));
}

}  // namespace
