// d88scan: the fixed lines of its report and its status over whole and
// damaged disks, its command line, that it writes nothing, and above all
// that what it says of every file agrees with what d88cut really writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The fixed lines again, from d88scan --json on the same file: the two
// forms of the report must tell one story. Every sector a file is said to
// come from is a record on its side, and a run said to stop at a missing
// sector finds no record of that ID there.
void expectJsonAgrees(const fs::path& file, const std::string& text, int status)
{
    std::ostringstream out, err;
    const std::string path = file.string();
    const char* const argv[] = {"d88scan", "--json", path.c_str()};
    EXPECT_EQ(scanCommand(3, argv, out, err), status);
    const nlohmann::json report = nlohmann::json::parse(out.str());
    std::vector<std::string> lines;
    for (const auto& image : report["files"][0]["images"]) {
        lines.push_back("image " + image["index"].dump());
        std::map<std::pair<int, int>, int> sizes;  // (track, R) -> data size, first record
        for (const auto& side : image["trackSides"])
            for (const auto& sector : side["sectors"])
                sizes.emplace(std::make_pair(side["track"].get<int>(), sector["r"].get<int>()),
                              sector["size"].get<int>());
        for (const auto& disk : image["recognitions"]) {
            lines.push_back(disk["kind"]);
            for (const auto& output : disk["outputs"]) {
                const std::string name = output["name"], state = output["state"];
                for (const auto& s : output["sectors"])
                    EXPECT_EQ(sizes.count({s["track"], s["r"]}), 1u) << name;
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
    expectJsonAgrees(dir / "disk.d88", scan.out, scan.status);
    const RunResult cut = runOnImage(dir, image);
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

    if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "what is opened is not watched without strace (apt-get install strace)";
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
