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
// Where a chosen file waits while it is cut, apart from the outputs.
const char asideFolder[] = "/in";

// One of the three runs made on every chosen file.
enum Run { cutRun, scanRun, scanJsonRun, runCount };

struct RunResult {
    int status = 0;
    std::string lines;
};
RunResult results[runCount];

// Runs PROGRAM, called as (argc, argv, out, err), with its two streams
// caught in one transcript.
template <typename Program>
RunResult capture(const Program& program, std::vector<const char*> argv)
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

// Handles one chosen file as a console user would: `d88cut NAME` run in
// the folder, then `d88scan NAME` and `d88scan --json NAME`. The results
// wait in d88web_status and d88web_output until the next file is handled.
//
// The chosen file is the user's own, not a file of the folder: it waits in
// a folder of its own for the three runs and is removed again before this
// returns. So a file named like an output (ADPCM, MA100) is cut as any
// other, its outputs take their names in the folder, and an earlier
// output of its name is replaced, never lost. The lines that name it
// (d88cut's warning of more than 64 images, d88scan's report) name it as
// the user chose it.
EMSCRIPTEN_KEEPALIVE void d88web_handle(const char* name, const uint8_t* bytes, int32_t size)
{
    const std::string path = std::string(asideFolder) + '/' + name;
    // One write: the in-memory file system grows the file once, where a
    // file stream's small writes took longer than the whole cut. Should the
    // bytes not fit, d88cut meets a file it cannot open, and says so as it
    // would of any such file.
    platform::createFile(path.c_str(), bytes, size);

    // A reader of its own for the run, as each console run has.
    const auto cut = [name](int argc, const char* const argv[], std::ostream& out,
                            std::ostream& err) {
        D88Reader reader;
        return run(reader, argc, argv, out, err, name);
    };
    results[cutRun] = capture(cut, {"d88cut", path.c_str()});
    // d88scan writes nothing, so it looks from the file's own folder and
    // names it as chosen. A name that begins with '-' is still a file's.
    chdir(asideFolder);
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
