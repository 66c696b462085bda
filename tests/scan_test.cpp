// d88scan: the fixed lines of its report and its status over whole and
// damaged disks, its command line, that it writes nothing, and above all
// that what it says of every file agrees with what d88cut really writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <map>
#include <nlohmann/json.hpp>
#include <random>

#include "disk_set.h"
#include "expected_cut.h"
#include "console/scan_command.h"
#include "test_support.h"

namespace {

const std::vector<std::string> d88scan = {D88SCAN_BINARY};

// The report read as a script would, by its three fixed line forms only:
// "image N", a disk's name, "NAME absent" or "NAME incomplete N of M".
// Every other line must keep clear of those forms.
std::vector<std::string> fixedLines(const std::string& report)
{
    std::vector<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string first, second, got, of, wanted;
        words >> first >> second >> got >> of >> wanted;
        if (startsWith(line, "image ")) {
            lines.push_back("image " + second);
        } else if (startsWith(line, "    ")) {
            EXPECT_TRUE(second == "absent" || second == "incomplete") << line;
            lines.push_back(first + " " + second +
                            (second == "incomplete" ? " " + got.substr(1) + " of " + wanted : ""));
        } else if (startsWith(line, "  ") && !startsWith(line, "  - ")) {
            const size_t before = lines.size();
            for (SetDisk disk : allDisks)
                if (startsWith(line, "  " + std::string(messageName(disk)) + " "))
                    lines.push_back(messageName(disk));
            EXPECT_EQ(lines.size(), before + 1) << line;
        } else {
            EXPECT_TRUE(startsWith(line, "file ") || startsWith(line, "  - ")) << line;
            // Said only of an image in which no disk was recognised.
            EXPECT_TRUE(line != "  - no disk of the set" || startsWith(lines.back(), "image "))
                << report;
        }
    }
    return lines;
}

// The same lines, worked out from what d88cut did with the one image in
// `dir`: the disks it recognised, and of each one's planned files those it
// gave a "cutting" line, holding what it left under their names. All it
// said and left must be what the model of a cut makes of that.
std::vector<std::string> cutVerdicts(const ScratchDir& dir, const RunResult& cut)
{
    Outcome found;
    std::istringstream out(cut.out);
    for (std::string line; std::getline(out, line);) {
        for (SetDisk disk : allDisks) {
            if (line + "\n" != recognised(messageName(disk)))
                continue;
            std::vector<FileOutcome> files;
            for (const PlannedFile& f : plannedFiles(planKind(disk)))
                files.push_back({f, cut.out.find(cutting(f.name)) != std::string::npos,
                                 readBytes(dir / f.name)});
            addDisk(found, disk, files, cut.out.find(earlyVersionLine) != std::string::npos);
        }
    }
    EXPECT_EQ(cut.out, found.out);
    EXPECT_EQ(cut.err, found.err);
    EXPECT_TRUE(outputFiles(dir.path(), "disk.d88") == found.files);
    found.verdicts.insert(found.verdicts.begin(), "image 0");
    return found.verdicts;
}

// The records of each track side of the one image in `file`, read straight
// from its bytes as the reader walks them: each record repeats the side's
// count, and the walk ends at a count of 0, after the record whose count
// does not reach past its position, at a header cut by the end of the
// file, or at 256 records. By track index: C, H, R, N and data size.
std::map<int, std::vector<std::array<int, 5>>> recordsOf(const Bytes& file)
{
    std::map<int, std::vector<std::array<int, 5>>> sides;
    if (file.size() < 0x2B0)
        return sides;
    const int64_t imageSize = int32_t(readLe32(&file[0x1C]));
    for (int track = 0; track < 164; ++track) {
        const int64_t offset = int32_t(readLe32(&file[size_t(0x20 + 4 * track)]));
        if (offset <= 0 || offset > imageSize)
            continue;
        size_t at = size_t(offset);
        for (int i = 0; i < 256 && at + 16 <= file.size(); ++i) {
            const uint8_t* record = &file[at];
            const int count = record[4] | record[5] << 8, size = record[14] | record[15] << 8;
            if (count == 0)
                break;
            sides[track].push_back({record[0], record[1], record[2], record[3], size});
            if (i >= count - 1)
                break;
            at += 16 + size_t(size);
        }
    }
    return sides;
}

// Whether each Start Disk d88cut recognised, in order, said it was the
// early version.
std::vector<bool> startDisksEarly(const std::string& cutOut)
{
    std::vector<bool> early;
    std::istringstream out(cutOut);
    for (std::string line; std::getline(out, line);) {
        if (line + "\n" == recognised("Start Disk"))
            early.push_back(false);
        else if (line + "\n" == earlyVersionLine && !early.empty())
            early.back() = true;
    }
    return early;
}

nlohmann::json sectorJson(int track, int r)
{
    return {{"track", track}, {"c", track >> 1}, {"h", track & 1}, {"r", r}};
}

// Each output as the model of a cut places it: where its run starts, where
// the file begins in it (the early Start Disk's last two files 256 bytes
// on), and the sectors its bytes come from, every one of them.
void expectOutputsPlaced(const nlohmann::json& disk, bool early)
{
    const std::string kind = disk["kind"];
    const SetDisk* found = std::find_if(std::begin(allDisks), std::end(allDisks),
                                        [&](SetDisk d) { return kind == messageName(d); });
    ASSERT_NE(found, std::end(allDisks)) << kind;
    const std::vector<PlannedFile> planned = plannedFiles(planKind(*found));
    ASSERT_EQ(disk["outputs"].size(), planned.size()) << kind;
    EXPECT_EQ(disk["version"], *found != SetDisk::Start ? nlohmann::json(nullptr)
                               : early                   ? nlohmann::json("early")
                                                         : nlohmann::json("later"));
    for (size_t i = 0; i < planned.size(); ++i) {
        const PlannedFile& f = planned[i];
        const nlohmann::json& output = disk["outputs"][i];
        SCOPED_TRACE(f.name);
        EXPECT_EQ(output["name"], f.name);
        EXPECT_EQ(output["planned"], f.length);
        const int offset = f.offset + (early && (f.name == "MA502" || f.name == "MB502") ? 256 : 0);
        EXPECT_EQ(output["offset"], offset);
        EXPECT_EQ(output["first"], sectorJson(f.track, f.r));
        nlohmann::json sectors = nlohmann::json::array();
        for (const auto& [track, r] : fileSectors(f.track, f.r, offset, output["bytes"]))
            sectors.push_back(sectorJson(track, r));
        EXPECT_EQ(output["sectors"], sectors);
    }
}

// The fixed lines again, from d88scan --json on the same file: the two
// forms of the report must tell one story. Every side's records are listed
// as they stand in the file; every file sits where the model puts it; and a
// run said to stop at a missing sector finds no record of that ID there.
void expectJsonAgrees(const fs::path& file, const std::string& text, int status,
                      const std::string& cutOut)
{
    std::ostringstream out, err;
    const std::string path = file.string();
    const char* const argv[] = {"d88scan", "--json", path.c_str()};
    EXPECT_EQ(scanCommand(3, argv, out, err), status);
    const nlohmann::json report = nlohmann::json::parse(out.str());
    std::vector<std::string> lines;
    std::vector<bool> early = startDisksEarly(cutOut);
    for (const auto& image : report["files"][0]["images"]) {
        if (image["index"] == 0) {
            nlohmann::json sides = nlohmann::json::array();
            for (const auto& [track, records] : recordsOf(readBytes(file))) {
                nlohmann::json sectors = nlohmann::json::array();
                for (const auto& [c, h, r, n, size] : records)
                    sectors.push_back({{"c", c}, {"h", h}, {"r", r}, {"n", n}, {"size", size}});
                sides.push_back({{"track", track}, {"sectors", sectors}});
            }
            EXPECT_EQ(image["trackSides"], sides);
        }
        lines.push_back("image " + image["index"].dump());
        std::map<std::pair<int, int>, int> sizes;  // (track, R) -> data size, first record
        for (const auto& side : image["trackSides"])
            for (const auto& sector : side["sectors"])
                sizes.emplace(std::make_pair(side["track"].get<int>(), sector["r"].get<int>()),
                              sector["size"].get<int>());
        for (const auto& disk : image["recognitions"]) {
            lines.push_back(disk["kind"]);
            bool earlyDisk = false;
            if (disk["kind"] == "Start Disk" && !early.empty()) {
                earlyDisk = early.front();
                early.erase(early.begin());
            }
            expectOutputsPlaced(disk, earlyDisk);
            for (const auto& output : disk["outputs"]) {
                const std::string name = output["name"], state = output["state"];
                if (state == "whole")
                    continue;
                lines.push_back(name + " " + state +
                                (state == "incomplete" ? " " + output["bytes"].dump() + " of " +
                                                             output["planned"].dump()
                                                       : ""));
                const auto& stop = output["stop"];
                EXPECT_EQ(sizes.count({stop["track"], stop["r"]}), stop["reason"] == "short")
                    << name;
            }
        }
        EXPECT_EQ(image["reasons"].size(), image["recognitions"].empty() ? 2u : 0u);
    }
    EXPECT_EQ(lines, fixedLines(text)) << out.str();
}

// Runs both programs on one image and checks that d88scan foretold what
// d88cut did; returns d88scan's run.
RunResult expectAgreement(const Bytes& image)
{
    ScratchDir dir;
    writeBytes(dir / "disk.d88", image);
    const RunResult scan = runBinary(dir.path(), "disk.d88", d88scan);
    const std::vector<std::string> lines = fixedLines(scan.out);
    const RunResult cut = runOnImage(dir, image);
    expectJsonAgrees(dir / "disk.d88", scan.out, scan.status, cut.out);
    EXPECT_EQ(lines, cutVerdicts(dir, cut)) << scan.out;
    EXPECT_EQ(cut.status, 0);
    // Status 1 exactly when some planned file would not be cut whole.
    const bool allWhole = std::none_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find(" absent") != std::string::npos || l.find(" incomplete") != std::string::npos;
    });
    EXPECT_EQ(scan.status, allWhole ? 0 : 1);
    EXPECT_EQ(scan.err, "");
    return scan;
}

Bytes withLabel(SetDisk disk, const char* label, size_t size)
{
    D88Builder image = makeSetDisk(disk);
    Bytes& sector = image.track(0)[0].data;
    std::memcpy(sector.data(), label, std::strlen(label));
    sector.resize(size);
    return image.image();
}

Bytes shortened(D88Builder image, int track, int r, size_t size)
{
    image.track(track)[size_t(r - 1)].data.resize(size);
    return image.image();
}

struct ScanCase {
    const char* what;
    Bytes image;
    std::vector<std::string> fixed;  // empty: d88cut's verdicts alone decide
    std::string detail;              // something the report must say
};

TEST(Scan, ReportForetellsWhatTheCutterWrites)
{
    const D88Builder program = makeSetDisk(SetDisk::Program), start = makeSetDisk(SetDisk::Start);
    const D88Builder early = makeSetDisk(SetDisk::Start, {0, true});
    D88Builder named = makeSetDisk(SetDisk::User), lyingCounts = makeSetDisk(SetDisk::JukeBox);
    named.setName("A\\B\x01\"\xff");
    for (int i = 0; i < 5; ++i)
        lyingCounts.track(45)[size_t(i)].recordCount = i == 3 ? 2 : 5;
    std::vector<ScanCase> cases = {
        {"sector missing mid-run", without(program, 22, 2).image(),
         {"image 0", "Program Disk", "MA105 incomplete 128 of 1152"},
         "    MA105 incomplete (128 of 1152 bytes; sector missing: track 22, C 11, H 0, R 2)\n"},
        {"first sector missing", without(program, 14, 2).image(),
         {"image 0", "Program Disk", "MA100 absent", "MB100 absent", "MB101 absent"},
         "    MA100 absent (first sector missing: track 14, C 7, H 0, R 2)\n"},
        {"label sector absent", without(makeSetDisk(SetDisk::DiskA), 0, 1).image(), {"image 0"},
         "  - label on track 0: no sector C 0, H 0, R 1, N 3\n"},
        {"label sector short", withLabel(SetDisk::DiskA, "SOLK-VARIN 2", 11), {"image 0"},
         "  - label on track 0: sector R 1 has only 11 bytes, too short for the digit\n"},
        {"label differs", withLabel(SetDisk::DiskA, "SOLK\\\x81VARI 2", 1024), {"image 0"},
         " first ten bytes \"SOLK\\\\\\x81VARI\" are not \"SOLK-VARIN\"\n"},
        {"digit 7", withLabel(SetDisk::DiskA, "SOLK-VARIN 7", 1024), {"image 0"},
         "  - label on track 0: digit \"7\" names no disk"},
        {"both labels", withLabel(SetDisk::Start, "SOLK-VARIN 4", 1024),
         {"image 0", "Disk C", "Start Disk"}, ""},
        {"early version", early.image(), {"image 0", "Start Disk"},
         "; cut as the early version): 9 files, 9 "},
        // MA502 runs into R 4 by 384 bytes as listed, by 128 on the early version.
        {"early version, R 4 after the version sector missing", without(early, 37, 4).image(),
         {"image 0", "Start Disk", "MA502 incomplete 128 of 768"}, ""},
        {"version sector missing", without(start, 37, 3).image(),
         {"image 0", "Start Disk", "MA502 absent", "MB502 absent"},
         "; cut as the later version): 9 files, 7 "},
        // The stop is where the run broke, the file's offset counted in:
        // MA114 starts 640 bytes into R 1 and needs all of R 2.
        {"sector short at the end of a file with an offset", shortened(program, 24, 2, 800),
         {"image 0", "Program Disk", "MA114 incomplete 384 of 1536"},
         "    MA114 incomplete (384 of 1536 bytes; sector short: track 24, C 12, H 0, R 2 has "
         "800 bytes)\n"},
        {"marker sector missing", without(makeSetDisk(SetDisk::JukeBox), 6, 4).image(),
         {"image 0", "Start Disk", "MA501 incomplete 256 of 3328"},
         "no JukeBox marker: track 6, R 4 absent"},
        {"counts that end the walk early", lyingCounts.image(), {}, ""},
        {"name escaped", named.image(), {"image 0", "User Disk"},
         "image 0 at offset 0: name \"A\\\\B\\x01\\x22\\xff\", media type 0x20, 416688 bytes, "
         "80 track sides with sectors\n"},
    };
    for (SetDisk disk : allDisks)
        cases.push_back({messageName(disk), makeSetDisk(disk).image(),
                         {"image 0", messageName(disk)}, ""});
    cases.push_back({"real image", readBytes(fs::path(TESTDATA_DIR) / "x1-sos-test.d88"),
                     {"image 0"},
                     "media type 0x00, 348848 bytes, 80 track sides with sectors\n"
                     "  - no disk of the set\n"});
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult scan = expectAgreement(c.image);
        if (!c.fixed.empty()) {
            EXPECT_EQ(fixedLines(scan.out), c.fixed);
        }
        EXPECT_NE(scan.out.find(c.detail), std::string::npos) << scan.out;
    }
}

TEST(Scan, RandomDamageIsForetoldToo)
{
    // Sectors cut short, given lying counts or renamed, three at a time.
    std::mt19937 random(10);
    const SetDisk disks[] = {SetDisk::Program, SetDisk::DiskC, SetDisk::Start, SetDisk::JukeBox};
    for (int i = 0; i < 40; ++i) {
        const SetDisk disk = disks[random() % 4];
        D88Builder image = makeSetDisk(disk);
        std::string what = messageName(disk);
        for (int damage = 0; damage < 3; ++damage) {
            const int track = int(random() % setTrackCount), at = int(random() % 5);
            D88Builder::Record& record = image.track(track)[size_t(at)];
            const int kind = int(random() % 3);
            if (kind == 0)
                record.data.resize(random() % 1024);
            else if (kind == 1)
                record.recordCount = int(random() % 6);
            else
                record.id.r = 9;
            what += " " + std::to_string(kind) + "@" + std::to_string(track) + "." +
                    std::to_string(at);
        }
        SCOPED_TRACE(what);
        expectAgreement(image.image());
    }
}

TEST(Scan, FilesOfManyImagesAndOfNone)
{
    ScratchDir dir;
    writeBytes(dir / "set.d88", makeWholeSet());
    writeBytes(dir / "empty.d88", {});
    writeBytes(dir / "many.d88", repeat(D88Builder().image(), 65));  // headers alone
    std::vector<std::string> expected;
    for (SetDisk disk : allDisks)
        expected.insert(expected.end(), {"image " + std::to_string(int(disk)), messageName(disk)});
    for (int i = 0; i < 64; ++i)
        expected.push_back("image " + std::to_string(i));
    const RunResult result = runBinary(dir.path(), "set.d88 empty.d88 many.d88", d88scan);
    EXPECT_EQ(fixedLines(result.out), expected);
    EXPECT_NE(result.out.find("\nfile \"empty.d88\": 0 images\n"), std::string::npos);
    EXPECT_NE(result.out.find("\nfile \"many.d88\": 64 images, and more past them that d88cut "
                              "does not read\n"),
              std::string::npos);
    EXPECT_EQ(result.status, 0);
}

TEST(ScanCommandLine, UsageStatusesAndFilesThatCannotBeOpened)
{
    ScratchDir dir;
    writeBytes(dir / "-x.d88", makeSetDisk(SetDisk::DiskC).image());
    writeBytes(dir / "broken.d88", without(makeSetDisk(SetDisk::DiskC), 57, 3).image());
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir / "pipe.d88").c_str(), 0600), 0);  // where there are FIFOs
#endif
    struct CommandCase {
        const char* arguments;
        int status;
        const char* outStart;  // of stdout
        const char* inErr;     // on stderr
    };
    const CommandCase cases[] = {
        {"", 2, "", "usage: d88scan FILE.d88"},
        {"-h", 0, "usage: d88scan FILE.d88", ""},
        {"--version broken.d88", 0, "d88scan " D88CUT_VERSION "\n", ""},
        {"broken.d88 --help", 0, "usage: d88scan FILE.d88", ""},
        {"-q broken.d88", 2, "", "unknown option \"-q\"\nusage: d88scan"},
        {"-- -x.d88 broken.d88", 1, "file \"-x.d88\": 1 image\nimage 0 ", ""},
        // Each with the system's reason, in its own words.
        {"missing.d88 broken.d88", 2, "file \"broken.d88\"", "cannot open \"missing.d88\": "},
        {". -- -x.d88", 2, "file \"-x.d88\"", "cannot open \".\": "},
        {"pipe.d88 -- -x.d88", 2, "file \"-x.d88\"", "cannot open \"pipe.d88\": "},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const RunResult result = runBinary(dir.path(), c.arguments, d88scan);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(startsWith(result.out, c.outStart)) << result.out;
        EXPECT_NE(result.err.find(c.inErr), std::string::npos) << result.err;
        // No line of its own on stderr ends without words after the colon.
        EXPECT_EQ(result.err.find(": \n"), std::string::npos) << result.err;
    }

    // A report that cannot be written is a failure of its own.
    std::ostringstream full, err;
    full.setstate(std::ios::badbit);
    const std::string path = (dir / "broken.d88").string();
    const char* const argv[] = {"d88scan", path.c_str()};
    EXPECT_EQ(scanCommand(2, argv, full, err), 2);
    EXPECT_EQ(err.str().rfind("d88scan: cannot write the report: ", 0), 0u) << err.str();
}

TEST(ScanCommandLine, WritesNothingAndOpensNothingForWriting)
{
    ScratchDir dir;
    const Bytes image = without(makeSetDisk(SetDisk::JukeBox), 45, 2).image();
    writeBytes(dir / "disk.d88", image);
    EXPECT_EQ(runBinary(dir.path(), "disk.d88", d88scan).status, 1);
    EXPECT_TRUE(outputFiles(dir.path(), "disk.d88").empty());
    EXPECT_TRUE(readBytes(dir / "disk.d88") == image);

#ifdef _WIN32
    GTEST_SKIP() << "what is opened is watched with strace, which only a Linux build can use; "
                    "there this test runs whole (apt-get install -y strace)";
#endif
    if (runProgram({"strace", "-o", "/dev/null", "true"}, dir.path(), dir / "probe.txt", dir / "probe.txt") != 0)
        GTEST_SKIP() << "what is opened is not watched without strace (apt-get install -y strace)";
    const RunResult traced =
        runBinary(dir.path(), "disk.d88",
                  {"strace", "-f", "-e", "trace=%file", "-o", "trace.txt", D88SCAN_BINARY});
    EXPECT_EQ(traced.status, 1);
    const std::string trace = text(readBytes(dir / "trace.txt"));
    EXPECT_NE(trace.find("\"disk.d88\", O_RDONLY"), std::string::npos);
    for (const char* writing : {"O_WRONLY", "O_RDWR", "O_CREAT", "creat(", "rename", "unlink"})
        EXPECT_EQ(trace.find(writing), std::string::npos) << writing;
}

// The JSON document is written file by file and image by image; whatever
// the mix of files, it is one document, each file in its place.
TEST(ScanCommandLine, JsonOfManyFilesIsOneDocument)
{
    ScratchDir dir;
    writeBytes(dir / "set.d88", makeWholeSet());
    writeBytes(dir / "empty.d88", {});
    const RunResult result =
        runBinary(dir.path(), "--json set.d88 missing.d88 empty.d88 set.d88", d88scan);
    EXPECT_EQ(result.status, 2);
    const nlohmann::json report = nlohmann::json::parse(result.out);
    ASSERT_EQ(report["files"].size(), 4u);
    EXPECT_EQ(report["files"][0], report["files"][3]);
    EXPECT_EQ(report["files"][0]["images"].size(), std::size(allDisks));
    EXPECT_TRUE(report["files"][1]["error"].is_string());
    EXPECT_FALSE(report["files"][1].contains("images"));
    EXPECT_EQ(report["files"][2]["images"], nlohmann::json::array());
    EXPECT_EQ(result.out.back(), '\n');
}

}  // namespace

namespace {

// A Disk C of only the sides its label and its four files lie on, with the
// sector MA400 runs on into gone and the first sector of MB400 cut short.
Bytes smallDamagedDiskC()
{
    D88Builder whole = makeSetDisk(SetDisk::DiskC), disk;
    disk.setName("DISK C");
    for (int track : {0, 56, 57, 58})
        for (const D88Builder::Record& record : whole.track(track))
            if (!(track == 57 && record.id.r == 4))
                disk.addSector(track, record.id, record.data);
    disk.track(56)[4].data.resize(600);
    return disk.image();
}

}  // namespace

// The JSON of a damaged disk, as kept in tests/data: a change to any field
// of the document a script may read shows here first.
TEST(ScanJson, DamagedDiskGivesTheKeptDocument)
{
    ScratchDir dir;
    writeBytes(dir / "disk.d88", smallDamagedDiskC());
    const RunResult result = runBinary(dir.path(), "--json disk.d88", d88scan);
    EXPECT_EQ(result.status, 1);
    const std::string kept = text(readBytes(fs::path(TESTDATA_DIR) / "damaged-disk-c.json"));
    EXPECT_EQ(result.out, kept);
}
