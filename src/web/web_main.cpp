// The page's front end: the page hands in the bytes of a D88 file a user
// chose, and this runs d88cut and d88scan on it through the same functions
// the console programs call, in one folder of the in-memory file system
// that lives as long as the page. What the runs wrote, and the files in
// the folder, go back to the page as bytes; the page only shows them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "cutter/run.h"
#include "d88/d88_reader.h"
#include "platform/platform.h"
#include "scan/scan.h"
#include "web/transcript.h"

namespace {

// The folder every run cuts into, as a console user's current folder: a
// later file's output of the same name replaces the earlier one.
const char folder[] = "/files";
// Where a chosen file waits when its name is taken in the folder.
const char asideFolder[] = "/in";

// One of the three runs made on every chosen file.
enum Run { cutRun, scanRun, scanJsonRun, runCount };

struct RunResult {
    int status = 0;
    std::string lines;
};
RunResult results[runCount];

RunResult capture(int (*program)(int, const char* const[], std::ostream&, std::ostream&),
                  std::vector<const char*> argv)
{
    Transcript transcript;
    TranscriptBuffer outBuffer(transcript, Stream::out);
    TranscriptBuffer errBuffer(transcript, Stream::err);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    RunResult result;
    result.status = program(int(argv.size()), argv.data(), out, err);
    result.lines = transcript.finish();
    return result;
}

int cutProgram(int argc, const char* const argv[], std::ostream& out, std::ostream& err)
{
    // A reader of its own for each run, as each console run has.
    D88Reader reader;
    return run(reader, argc, argv, out, err);
}

// A file of the folder, as the page offers it for download.
struct FolderFile {
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<FolderFile> listed;

}  // namespace

int main()
{
    // The page's folder starts empty; it goes with the page.
    mkdir(folder, 0777);
    mkdir(asideFolder, 0777);
    chdir(folder);
    return 0;
}

extern "C" {

// Handles one chosen file as a console user would: `d88cut NAME` in the
// folder, then `d88scan NAME` and `d88scan --json NAME`. The results wait
// in d88web_status and d88web_output until the next file is handled.
//
// The file lies in the folder under its own name for the three runs, so
// that every line that names it names it as the user chose it; it is
// removed again before this returns. A name the folder already holds is
// an earlier file's output, which must not be lost: the chosen file then
// waits in a folder of its own instead, and d88cut, which must cut into
// the folder, names it by that path (only its warning of more than 64
// images names the file at all). The cutter never writes over the file it
// reads, nor under its temporary name (it says so and leaves that output
// out, as it would on the console), so what is removed at the end is
// always the chosen file and never an output.
EMSCRIPTEN_KEEPALIVE void d88web_handle(const char* name, const uint8_t* bytes, int32_t size)
{
    struct stat taken;
    const bool inFolder = lstat(name, &taken) != 0;
    const std::string path = inFolder ? std::string(name) : std::string(asideFolder) + '/' + name;
    // One write: the in-memory file system grows the file once, where a
    // file stream's small writes took longer than the whole cut. Should the
    // bytes not fit, d88cut meets a file it cannot open, and says so as it
    // would of any such file.
    platform::createFile(path.c_str(), bytes, size);

    results[cutRun] = capture(cutProgram, {"d88cut", path.c_str()});
    // d88scan writes nothing, so it can look from the file's own folder
    // and name it as chosen wherever it waits. A name that begins with
    // '-' is still a file's.
    chdir(inFolder ? folder : asideFolder);
    results[scanRun] = capture(scan, {"d88scan", "--", name});
    results[scanJsonRun] = capture(scan, {"d88scan", "--json", "--", name});
    chdir(folder);

    platform::removeFile(path.c_str());
}

// The exit status of a run of the last file handled: 0 d88cut, 1 d88scan,
// 2 d88scan --json.
EMSCRIPTEN_KEEPALIVE int d88web_status(int run)
{
    return results[run].status;
}

// What that run wrote, as the lines of a Transcript.
EMSCRIPTEN_KEEPALIVE const char* d88web_output(int run)
{
    return results[run].lines.data();
}

EMSCRIPTEN_KEEPALIVE int32_t d88web_output_size(int run)
{
    return int32_t(results[run].lines.size());
}

// Reads every file of the folder, in the order of their names, for
// d88web_file_name, d88web_file_bytes and d88web_file_size; returns how
// many there are.
EMSCRIPTEN_KEEPALIVE int32_t d88web_list()
{
    listed.clear();
    DIR* dir = opendir(".");
    if (dir == nullptr)
        return 0;
    while (const dirent* entry = readdir(dir)) {
        struct stat info;
        if (stat(entry->d_name, &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        FolderFile file{entry->d_name, std::vector<uint8_t>(size_t(info.st_size))};
        std::ifstream in(file.name, std::ios::binary);
        in.read(reinterpret_cast<char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
        file.bytes.resize(size_t(in.gcount()));
        listed.push_back(std::move(file));
    }
    closedir(dir);
    std::sort(listed.begin(), listed.end(),
              [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
    return int32_t(listed.size());
}

EMSCRIPTEN_KEEPALIVE const char* d88web_file_name(int32_t index)
{
    return listed[size_t(index)].name.c_str();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* d88web_file_bytes(int32_t index)
{
    return listed[size_t(index)].bytes.data();
}

EMSCRIPTEN_KEEPALIVE int32_t d88web_file_size(int32_t index)
{
    return int32_t(listed[size_t(index)].bytes.size());
}

}  // extern "C"
