// Faults while the tool writes: a file-size limit, a kill at many points of
// the run, a stdout that is full or closed, an input that bears an output's
// name, a pipe as input. Whatever happens, every output name must hold its
// earlier bytes or its new bytes, whole, and the status must tell of it.
#include <gtest/gtest.h>

#ifdef _WIN32

#include "disk_set.h"
#include "test_support.h"

namespace {

TEST(Faults, NeedPosixProcesses)
{
    GTEST_SKIP() << "size limits, signals, FIFOs and strace are POSIX things; on Windows "
                    "tests/windows_check.sh holds the program to the Linux build's outcomes";
}

// Which file a name reaches is the system's to say, through the same
// calls in the test as in the program: so this one runs here, in-process.
// An input that bears an output's name, or the temporary name that output
// is first written under, is left as it is, open or not.
TEST(Faults, InputNamedLikeAnOutputIsNeverWritten)
{
    const Bytes input = makeSetDisk(SetDisk::Start).image();
    const std::string refused = " is the D88 file being read; ";
    struct Case { const char* input; std::string err; };
    const Case cases[] = {
        {"ADPCM", "error: ADPCM" + refused + "it is not written\n"},
        {"FMDRV2.d88cut-tmp", "error: FMDRV2.d88cut-tmp" + refused + "FMDRV2 is not written\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        ScratchDir dir;
        writeBytes(dir / c.input, input);
        const RunResult result = runDriver(dir.path(), {"d88cut", c.input});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.err);
        EXPECT_TRUE(readBytes(dir / c.input) == input);
        EXPECT_TRUE(fs::exists(dir / "FMDRV1"));
    }
}

}  // namespace

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "disk_set.h"
#include "test_support.h"

namespace {

using Files = std::map<std::string, Bytes>;
// Every version a run writes under each name: the Start Disk's FMDRV1 is
// replaced by the JukeBox's later in the same run.
using Versions = std::map<std::string, std::vector<Bytes>>;

// The whole set, each disk's data told apart by `tag`, so that an earlier
// run's files differ from this run's in every byte that matters.
Bytes setTagged(int tag)
{
    return makeDiskSequence(7, tag);
}

struct Spawn {
    std::vector<std::string> argv;
    std::string stdoutPath = "stdout.txt";  // empty: stdout closed
    long long fileSizeLimit = -1;
    int stdoutFd = -1;  // used instead of stdoutPath when set
};

// Runs a program in `dir` with stderr in stderr.txt; returns its exit
// status, -1 when a signal ended it.
int spawn(const fs::path& dir, const Spawn& s)
{
    return runProgram(ProgramRun{s.argv, dir, s.stdoutPath.empty() ? fs::path() : dir / s.stdoutPath,
                                 dir / "stderr.txt", s.stdoutFd, s.fileSizeLimit});
}

Files outputsOf(const fs::path& dir)
{
    Files files = outputFiles(dir, "disk.d88");
    files.erase("stdout.txt");
    files.erase("stderr.txt");
    return files;
}

// Every name holds the earlier run's bytes or this run's, whole; anything
// else is a temporary file a killed run may leave, and only when allowed.
void expectOldOrNew(const Files& found, const Files& before, const Versions& written,
                    bool killed)
{
    for (const auto& [name, data] : found) {
        SCOPED_TRACE(name);
        if (name.size() > 11 && name.compare(name.size() - 11, 11, ".d88cut-tmp") == 0) {
            EXPECT_TRUE(killed) << "temporary file left by a run that was not killed";
            continue;
        }
        const bool old = before.count(name) && before.at(name) == data;
        bool fresh = false;
        if (written.count(name))
            for (const Bytes& version : written.at(name))
                fresh = fresh || version == data;
        EXPECT_TRUE(old || fresh) << data.size() << " bytes, neither the earlier nor the new file";
    }
    for (const auto& [name, data] : before)
        EXPECT_TRUE(found.count(name)) << name << " is gone";
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The earlier files: a run over a set of other data.
        writeBytes(oldDir / "disk.d88", setTagged(40));
        ASSERT_EQ(spawn(oldDir.path(), {{D88CUT_BINARY, "disk.d88"}}), 0);
        before = outputsOf(oldDir.path());
        writeBytes(newDir / "disk.d88", setTagged(0));
        ASSERT_EQ(spawn(newDir.path(), {{D88CUT_BINARY, "disk.d88"}}), 0);
        after = outputsOf(newDir.path());
        ASSERT_EQ(before.size(), 153u);
        ASSERT_EQ(after.size(), 153u);
        for (const auto& [name, data] : after)
            written[name].push_back(data);
        // The Start Disk's drivers and samples, which the JukeBox's replace.
        ScratchDir start;
        writeBytes(start / "disk.d88", makeSetDisk(SetDisk::Start, {5}).image());
        ASSERT_EQ(spawn(start.path(), {{D88CUT_BINARY, "disk.d88"}}), 0);
        for (const char* name : {"FMDRV1", "FMDRV2", "ADPCM"})
            written[name].push_back(readBytes(start / name));
    }

    // A directory holding the earlier files and this run's input.
    void prepare(const ScratchDir& dir, const Bytes& input = setTagged(0))
    {
        for (const auto& [name, data] : before)
            writeBytes(dir / name, data);
        writeBytes(dir / "disk.d88", input);
    }

    ScratchDir oldDir, newDir;
    Files before, after;
    Versions written;
};

TEST_F(Faults, FileSizeLimitsKeepEarlierFilesWhole)
{
    for (long long limit : {0, 1000, 4096, 16384, 65536}) {
        SCOPED_TRACE(limit);
        ScratchDir dir;
        prepare(dir);
        const int status = spawn(dir.path(), {{D88CUT_BINARY, "disk.d88"}, "stdout.txt", limit});
        EXPECT_EQ(status, 1);
        expectOldOrNew(outputsOf(dir.path()), before, written, false);
        EXPECT_EQ(readBytes(dir / "ADPCM"), before.at("ADPCM"));
        // Below a few KiB the limit stops stderr's own file too.
        if (limit >= 4096) {
            EXPECT_NE(text(readBytes(dir / "stderr.txt")).find("error: cannot write ADPCM: File too large"),
                      std::string::npos);
        }
    }
}

// Kills at the Nth call of each system call that makes, fills, renames,
// closes or removes a file; then a run in the same place must finish
// cleanly, undisturbed by what the killed one left.
TEST_F(Faults, KilledAtAnyCallEveryNameHoldsOldOrNewBytes)
{
    if (spawn(newDir.path(), {{"strace", "-o", "/dev/null", "true"}}) != 0)
        GTEST_SKIP() << "no run can be killed at a chosen call without strace "
                        "(apt-get install -y strace)";
    for (const char* call : {"openat", "write", "writev", "close", "rename", "renameat2", "unlink"}) {
        for (int nth : {1, 2, 30, 77, 150}) {
            SCOPED_TRACE(std::string(call) + " #" + std::to_string(nth));
            ScratchDir dir;
            prepare(dir);
            const std::string inject = std::string("inject=") + call +
                                       ":signal=KILL:when=" + std::to_string(nth);
            spawn(dir.path(), {{"strace", "-f", "-o", "/dev/null", "-e", inject, D88CUT_BINARY,
                                "disk.d88"}});
            expectOldOrNew(outputsOf(dir.path()), before, written, true);

            EXPECT_EQ(spawn(dir.path(), {{D88CUT_BINARY, "disk.d88"}}), 0);
            EXPECT_TRUE(outputsOf(dir.path()) == after);
        }
    }
}

TEST_F(Faults, FailingStdoutNeverStopsTheCutting)
{
    // A full disk behind stdout, where the system has one to show, and a
    // stdout the caller closed; the rest is tried all the same, and the
    // test then says what it left out.
    const bool full = fs::exists("/dev/full");
    struct Case { const char* stdoutPath; const char* why; };
    for (const Case& c : {Case{"/dev/full", "No space left on device"},
                          Case{"", "Bad file descriptor"}}) {
        SCOPED_TRACE(c.why);
        if (!full && *c.stdoutPath != '\0')
            continue;
        ScratchDir dir;
        prepare(dir);
        const int status = spawn(dir.path(), {{D88CUT_BINARY, "disk.d88"}, c.stdoutPath});
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(outputsOf(dir.path()) == after);
        EXPECT_EQ(text(readBytes(dir / "stderr.txt")),
                  "error: the messages could not be written to standard output: " +
                      std::string(c.why) + "\n");
    }
    // A reader that goes away after 10 bytes, on a file of 64 images.
    {
        ScratchDir dir, clean;
        prepare(dir, makeDiskSequence(64));
        writeBytes(clean / "disk.d88", makeDiskSequence(64));
        ASSERT_EQ(spawn(clean.path(), {{D88CUT_BINARY, "disk.d88"}}), 0);
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        Spawn s{{D88CUT_BINARY, "disk.d88"}};
        s.stdoutFd = pipeFds[1];
        const pid_t reader = fork();
        if (reader == 0) {
            char head[10];
            close(pipeFds[1]);
            (void)!read(pipeFds[0], head, sizeof head);
            _exit(0);
        }
        close(pipeFds[0]);
        const int status = spawn(dir.path(), s);
        close(pipeFds[1]);
        waitpid(reader, nullptr, 0);
        ASSERT_NE(status, -1) << "killed by a signal";
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(outputsOf(dir.path()) == outputsOf(clean.path()));
    }
    if (!full)
        GTEST_SKIP() << "a full stdout was not tried: this system has no /dev/full";
}

TEST_F(Faults, InputNamedLikeAnOutputIsNeverWritten)
{
    ScratchDir dir;
    prepare(dir);
    const Bytes input = setTagged(0);
    ASSERT_EQ(symlink("ADPCM", (dir / "disk-link.d88").c_str()), 0);
    // Named as it is, through a link of another name, and under the name
    // an output is first written as.
    struct Case { const char* input; const char* kept; std::string err; };  // kept: the file itself
    // Both the Start Disk and the JukeBox have an ADPCM file.
    const std::string adpcm = "error: ADPCM is the D88 file being read; it is not written\n";
    const Case cases[] = {
        {"MA000.d88cut-tmp", "MA000.d88cut-tmp",
         "error: MA000.d88cut-tmp is the D88 file being read; MA000 is not written\n"},
        {"ADPCM", "ADPCM", adpcm + adpcm},
        {"disk-link.d88", "ADPCM", adpcm + adpcm},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        writeBytes(dir / c.kept, input);
        const int status = spawn(dir.path(), {{D88CUT_BINARY, c.input}});
        EXPECT_EQ(status, 1);
        EXPECT_EQ(readBytes(dir / c.kept), input);
        EXPECT_EQ(text(readBytes(dir / "stderr.txt")), c.err);
        EXPECT_EQ(readBytes(dir / "MA001"), after.at("MA001"));
    }
}

// Whoever can write to the folder may put a link under an output's
// temporary name at any moment, even right after a run cleared a leftover
// there: the run must neither write through the link nor leave the output's
// name as a link. strace holds the run still for two seconds after it
// removed the leftover, and the link is planted then.
TEST(SharedFolder, LinkPlantedAtTheTemporaryNameIsNeverWrittenThrough)
{
    ScratchDir probe;
    if (spawn(probe.path(), {{"strace", "-o", "/dev/null", "true"}}) != 0)
        GTEST_SKIP() << "no run can be held still at a chosen call without strace "
                        "(apt-get install -y strace)";
    const Bytes image = makeSetDisk(SetDisk::Program).image();
    ScratchDir clean;
    writeBytes(clean / "disk.d88", image);
    ASSERT_EQ(spawn(clean.path(), {{D88CUT_BINARY, "disk.d88"}}), 0);

    for (bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "link to a file of someone else's" : "dangling link");
        ScratchDir dir, elsewhere;
        const fs::path victim = elsewhere / "victim";
        if (targetExists)
            writeBytes(victim, Bytes{'O', 'R', 'I', 'G', 'I', 'N', 'A', 'L'});
        writeBytes(dir / "disk.d88", image);
        const fs::path temporary = dir / "MA100.d88cut-tmp";
        writeBytes(temporary, Bytes{'l', 'e', 'f', 't'});
        std::thread planter([&] {
            for (int i = 0; i < 2000 && fs::exists(fs::symlink_status(temporary)); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            fs::create_symlink(victim, temporary);
        });
        const int status = spawn(dir.path(), {{"strace", "-f", "-o", "/dev/null", "-e",
                                               "trace=unlink", "-e",
                                               "inject=unlink:delay_exit=2000000:when=1",
                                               D88CUT_BINARY, "disk.d88"}});
        planter.join();
        EXPECT_EQ(status, 0) << text(readBytes(dir / "stderr.txt"));
        if (targetExists)
            EXPECT_EQ(text(readBytes(victim)), "ORIGINAL");
        else
            EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "MA100")));
        EXPECT_EQ(readBytes(dir / "MA100"), readBytes(clean / "MA100"));
        EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
    }
}

TEST_F(Faults, PipeIsNoImageFile)
{
    ScratchDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo.d88").c_str(), 0600), 0);
    // Held open for writing with a whole disk in it, so that a run that
    // wrongly reads the pipe finds bytes rather than waiting for them.
    const int fd = open((dir / "fifo.d88").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    D88Builder disk;
    disk.addSector(0, SectorId{0, 0, 1, 3}, Bytes{'S', 'O', 'L', 'K', '-', 'V', 'A', 'R', 'I',
                                                   'N', ' ', '2'});
    const Bytes image = disk.image();
    ASSERT_EQ(write(fd, image.data(), image.size()), ssize_t(image.size()));
    const int status = spawn(dir.path(), {{D88CUT_BINARY, "fifo.d88"}});
    close(fd);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text(readBytes(dir / "stderr.txt")), openFailureLine);
    EXPECT_EQ(text(readBytes(dir / "stdout.txt")), "");
}

// The system failing to read the D88 file (a bad sector of the drive it
// lies on, a drive unplugged, a share gone) is no damaged disk: d88cut and
// d88scan must say so and fail, never finish as if the disk ended there.
// strace fails the Nth read of the D88 file, and every read after it, or
// that one read alone; a run reads a set's file some 600 times. A C
// library that reads ahead when it seeks (glibc's stdio, under libc++'s
// streams) may meet the one failed read there and read again: then nothing
// was lost, and the run must give every file whole.
TEST_F(Faults, ReadErrorIsNeverSuccess)
{
    const auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    if (spawn(newDir.path(), {{"strace", "-o", "/dev/null", "true"}}) != 0)
        GTEST_SKIP() << "no read can be failed on purpose without strace "
                        "(apt-get install -y strace)";
    const std::string eio = "Input/output error";
    for (const char* when : {"1+", "3+", "100+", "350+", "600+", "200"}) {
        SCOPED_TRACE(when);
        const bool onceOnly = std::string(when).back() != '+';
        ScratchDir dir;
        prepare(dir);
        const std::vector<std::string> failing = {
            "strace", "-o", "/dev/null", "-P", (dir / "disk.d88").string(), "-e", "trace=read",
            "-e", std::string("inject=read:error=EIO:when=") + when};
        std::vector<std::string> cut = failing;
        cut.insert(cut.end(), {D88CUT_BINARY, "disk.d88"});
        const int cutStatus = spawn(dir.path(), {cut});
        const bool recovered = onceOnly && cutStatus == 0;
        const std::string out = text(readBytes(dir / "stdout.txt"));
        const std::string err = text(readBytes(dir / "stderr.txt"));
        if (recovered) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(cutStatus, 1);
            EXPECT_TRUE(endsWith(err, "error: cannot read disk.d88: " + eio + "\n")) << err;
        }
        // Each file said to be cut holds this run's bytes; every other
        // name keeps its earlier file, and nothing half-made is left.
        const Files found = outputsOf(dir.path());
        expectOldOrNew(found, before, written, false);
        for (const auto& [name, data] : found) {
            EXPECT_EQ(data == before.at(name), out.find(cutting(name)) == std::string::npos)
                << name;
            EXPECT_TRUE(!recovered || data != before.at(name)) << name << " not cut by a whole run";
        }

        std::vector<std::string> scan = failing;
        scan.insert(scan.end(), {D88SCAN_BINARY, "disk.d88"});
        const int scanStatus = spawn(dir.path(), {scan});
        const std::string report = text(readBytes(dir / "stdout.txt"));
        if (onceOnly && scanStatus == 0) {
            EXPECT_EQ(report.find("error"), std::string::npos) << report;
            continue;
        }
        EXPECT_EQ(scanStatus, 2);
        EXPECT_TRUE(endsWith(report, "\n  error: cannot read the file: " + eio + "\n")) << report;
        EXPECT_EQ(text(readBytes(dir / "stderr.txt")),
                  "d88scan: cannot read \"disk.d88\": " + eio + "\n");
    }
}

}  // namespace

#endif
