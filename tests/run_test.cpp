// The run as a whole: the command line, the open failure, the recognition
// of each disk of the set and the order of everything written to stdout.
#include <gtest/gtest.h>

#include "disk_set.h"
#include "expected_cut.h"
#include "test_support.h"

namespace {

TEST(CommandLine, WrongArgumentCountPrintsUsageWithTheNameAsInvoked)
{
    ScratchDir dir;
    for (const char* arguments : {"", "a.d88 b.d88"}) {
        SCOPED_TRACE(arguments);
        const RunResult result = runBinary(dir.path(), arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Usage: " D88CUT_BINARY " [d88file]\n");
    }
    EXPECT_TRUE(outputFiles(dir.path(), "").empty());
}

TEST(CommandLine, MissingProgramNameFallsBackToTheToolsName)
{
    ScratchDir dir;
    const RunResult result = runDriver(dir.path(), {});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Usage: d88cut [d88file]\n");
}

TEST(CommandLine, UnopenableFileReportsOpenFailure)
{
    ScratchDir dir;
    // There are no options: "--help" is the name of a file that is not there,
    // and a line after the message says where help is. A directory is no
    // image file either.
    const std::string hint =
        "d88cut takes one argument, the D88 file; see d88cut(1), or run d88scan --help\n";
    struct Case { const char* arguments; std::string err; };
    for (const Case& c : {Case{"no-such-file.d88", openFailureLine},
                          Case{"--help", openFailureLine + hint}, Case{"-", openFailureLine + hint},
                          Case{".", openFailureLine}}) {
        SCOPED_TRACE(c.arguments);
        const RunResult result = runBinary(dir.path(), c.arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
    }
}

TEST(CommandLine, RunAfterOneWhoseStdoutFailedStartsAfresh)
{
    // One stdout for every run, as a process that runs the tool many times
    // has, left failed as a run whose reader went away leaves it.
    ScratchDir dir;
    writeBytes(dir / "disk.d88", makeSetDisk(SetDisk::DiskC).image());
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);
    EXPECT_EQ(runDriver(dir.path(), {"d88cut", "disk.d88"}, out, err), 0);
    EXPECT_EQ(out.str(), expectedStdout(SetDisk::DiskC));
    EXPECT_EQ(err.str(), "");
}

TEST(Identify, EveryDiskOfTheSetIsRecognisedAndCut)
{
    for (SetDisk disk : allDisks) {
        SCOPED_TRACE(messageName(disk));
        ScratchDir dir;
        const RunResult result = runOnImage(dir, makeSetDisk(disk).image());
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, expectedStdout(disk));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(outputFiles(dir.path(), "disk.d88").size(), plannedFiles(planKind(disk)).size());
    }
}

TEST(Identify, WholeSetIsProcessedInFileOrder)
{
    ScratchDir dir;
    writeBytes(dir / "set.d88", makeWholeSet());
    const RunResult result = runBinary(dir.path(), "set.d88");
    std::string expected;
    for (SetDisk disk : allDisks)
        expected += expectedStdout(disk);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
}

TEST(Identify, EmptyOrForeignFilesYieldNothing)
{
    ScratchDir dir;
    writeBytes(dir / "empty.d88", {});
    const RunResult empty = runBinary(dir.path(), "empty.d88");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out + empty.err, "");

    const fs::path real = fs::path(TESTDATA_DIR) / "x1-sos-test.d88";
    ASSERT_TRUE(fs::exists(real)) << real << " is missing from the checkout";
    fs::copy_file(real, dir / "real.d88");
    const RunResult foreign = runBinary(dir.path(), "real.d88");
    EXPECT_EQ(foreign.status, 0);
    EXPECT_EQ(foreign.out + foreign.err, "");
    EXPECT_EQ(outputFiles(dir.path(), "real.d88").size(), 1u);  // empty.d88 alone
}

// Label sectors that are not quite right, each on an otherwise empty disk.
struct LabelCase {
    const char* what;
    int track;           // where the label sector lies
    std::string label;   // its first bytes
    int dataSize;        // of the label sector
    std::string expected;
};

TEST(Identify, LabelSectorsAreComparedByteForByte)
{
    const LabelCase cases[] = {
        {"byte 10 is not looked at", 0, std::string("SOLK-VARIN\xff" "2", 12), 1024,
         recognised("Disk A")},
        {"digit 7 is no disk", 0, "SOLK-VARIN 7", 1024, ""},
        {"digit below '0' is no disk", 0, "SOLK-VARIN/", 1024, ""},
        {"digit 5 on track 0 is no disk", 0, "SOLK-VARIN 5", 1024, ""},
        {"digit 1 on track 1 is no disk", 1, "SOLK-VARIN 1", 1024, ""},
        {"lower-case label", 0, "solk-varin 0", 1024, ""},
        {"label sector too short for its digit", 0, "SOLK-VARIN 0", 11, ""},
        {"label sector of exactly 12 bytes", 0, "SOLK-VARIN 3", 12, recognised("Disk B")},
    };
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.what);
        D88Builder disk;
        Bytes sector = bytes(1024, 0);
        std::memcpy(sector.data(), c.label.data(), c.label.size());
        sector.resize(size_t(c.dataSize));
        disk.addSector(c.track, SectorId{0, uint8_t(c.track), 1, 3}, sector);
        ScratchDir dir;
        const RunResult result = runOnImage(dir, disk.image());
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, c.expected);
    }
}

TEST(Identify, AbsentLabelSectorNeverMatchesOnAnEarlierReadsBytes)
{
    // Track 0 carries the Start Disk's label and digit, where it means
    // nothing; track 1 is missing, so its read leaves the track-0 label
    // standing in the buffer. That must not make a Start Disk.
    D88Builder disk;
    Bytes label = bytes(1024, 0);
    std::memcpy(label.data(), "SOLK-VARIN 5", 12);
    disk.addSector(0, SectorId{0, 0, 1, 3}, label);
    ScratchDir dir;
    const RunResult result = runOnImage(dir, disk.image());
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(outputFiles(dir.path(), "disk.d88").empty());
}

TEST(Identify, JukeBoxMarkerCountsOnlyWhenItsSectorHoldsIt)
{
    struct MarkerCase {
        const char* what;
        int markerSectorSize;  // of track 6, R 4; 0 removes it
        const char* expected;
        // The label sector, read right before, also holds the marker at
        // its place, so the buffer holds it past a short marker sector.
        bool leftOver = false;
    };
    const MarkerCase cases[] = {
        {"marker in place", 1024, "JukeBox"},
        {"sector ends at the marker's last byte", 70, "JukeBox"},
        {"sector cut inside the marker", 69, "Start Disk"},
        {"sector absent", 0, "Start Disk"},
        {"sector cut inside the marker, the rest left over", 69, "Start Disk", true},
        {"sector ends before the marker, all of it left over", 62, "Start Disk", true},
    };
    for (const MarkerCase& c : cases) {
        SCOPED_TRACE(c.what);
        D88Builder disk = makeSetDisk(SetDisk::JukeBox);
        std::vector<D88Builder::Record>& track6 = disk.track(6);
        if (c.leftOver)
            std::copy_n(track6[3].data.begin() + 62, 8, disk.track(1)[0].data.begin() + 62);
        if (c.markerSectorSize == 0)
            track6.erase(track6.begin() + 3);
        else
            track6[3].data.resize(size_t(c.markerSectorSize));
        ScratchDir dir;
        const RunResult result = runOnImage(dir, disk.image());
        EXPECT_EQ(result.out.substr(0, result.out.find('\n') + 1), recognised(c.expected));
    }
}

TEST(Identify, ImageWithBothLabelsIsRecognisedTwice)
{
    // Both label tests are made on every image: a Disk A label on track 0
    // does not stop the track-1 label from naming a Start Disk.
    D88Builder disk = makeSetDisk(SetDisk::Start);
    std::memcpy(disk.track(0)[0].data.data(), "SOLK-VARIN 2", 12);
    ScratchDir dir;
    const RunResult result = runOnImage(dir, disk.image());
    EXPECT_EQ(result.out, recognised("Disk A") + expectedStdout(SetDisk::Start));
}

}  // namespace
