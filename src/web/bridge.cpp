// The page's bridge to the core: the page's script puts the bytes of a D88
// file its user chose into the page's in-memory file system, once, and
// calls d88web_cut and d88web_scan on it: the cut writes its files into one
// folder that lives as long as the page, and tells what happens in d88cut's
// own words; the scan gives d88scan's text report and its JSON from one
// pass over the file. What they wrote, and the files in the folder, go back
// to the page as bytes; the page only shows them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/cut.h"
#include "core/d88_reader.h"
#include "core/findings.h"
#include "core/identify.h"
#include "disk_set.h"
#include "platform/platform.h"
#include "report/cut_messages.h"
#include "report/scan_json.h"
#include "report/scan_text.h"
#include "web/transcript.h"

// The page's Module.onImage, told that DONE of the IMAGES of the file
// being scanned have been scanned.
EM_JS(void, d88web_image_done, (int32_t done, int32_t images), {
    if (Module['onImage'])
        Module['onImage'](done, images);
});

namespace {

// The folder every cut writes into, as a console user's current folder: a
// later file's output of the same name replaces the earlier one.
const char folder[] = "/files";
// Where a chosen file waits while it is cut, apart from the outputs, so
// that a file named like an output (ADPCM, MA100) is cut as any other and
// an earlier output of its name is replaced, never lost.
const char asideFolder[] = "/in";

// The names of the disks of the set, for d88web_disk_kinds.
std::string kindNames;

// The made-up sample set, for d88web_sample_bytes.
Bytes sample;

// What the last call wrote, for d88web_output.
enum Output { cutLines, scanLines, scanJson, cutGlosses, outputCount };
std::string outputs[outputCount];

std::string inputPath(const char* name)
{
    return std::string(asideFolder) + '/' + name;
}

// A file of the folder, as the page offers it for download.
struct FolderFile {
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<FolderFile> listed;

// The names of the plain files in the folder, the current one, by name.
std::vector<std::string> folderFiles()
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(".")) {
        while (const dirent* entry = readdir(dir)) {
            struct stat info;
            if (stat(entry->d_name, &info) == 0 && S_ISREG(info.st_mode))
                names.push_back(entry->d_name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Tells the page, image by image, how far the scan of a file has come, so
// that it can show progress while a file of many images is read: the
// page's Module.onImage(image done, images in the file).
class Progress final : public ScanListener {
public:
    void opened(const FileFindings& file) override { images_ = file.imageCount; }
    void image(const ImageFindings& image) override
    {
        d88web_image_done(image.index + 1, images_);
    }
    void finished(const FileFindings&) override {}

private:
    int32_t images_ = 0;
};

}  // namespace

int main()
{
    // The page's folders start empty; they go with the page.
    mkdir(folder, 0777);
    mkdir(asideFolder, 0777);
    chdir(folder);
    return 0;
}

extern "C" {

// Where the page puts the chosen file NAME before it calls d88web_cut and
// d88web_scan on it: "/in/NAME".
EMSCRIPTEN_KEEPALIVE const char* d88web_input_folder()
{
    return asideFolder;
}

// The names of the disks of the set, one a line, as the recognition
// messages spell them, so that the page can say how many of them a file
// holds without a list of its own.
EMSCRIPTEN_KEEPALIVE const char* d88web_disk_kinds()
{
    if (kindNames.empty())
        for (int kind = int(DiskKind::UserDisk); kind <= int(DiskKind::JukeBox); ++kind)
            kindNames += std::string(diskKindName(DiskKind(kind))) + '\n';
    return kindNames.c_str();
}

// Makes the seven-disk sample set with the builder make_sample_set uses,
// byte for byte its file, so that a person can watch the whole job before
// they have their disks; returns its size, its bytes at
// d88web_sample_bytes.
EMSCRIPTEN_KEEPALIVE int32_t d88web_sample()
{
    sample = makeWholeSet();
    return int32_t(sample.size());
}

EMSCRIPTEN_KEEPALIVE const uint8_t* d88web_sample_bytes()
{
    return sample.data();
}

// Cuts the chosen file NAME into the folder as `d88cut NAME` would, its
// lines as a Transcript in d88web_output(0) and what each line means in
// English, one a line (empty for a line in English), in d88web_output(3);
// returns d88cut's exit status.
EMSCRIPTEN_KEEPALIVE int d88web_cut(const char* name)
{
    const std::string path = inputPath(name);
    Transcript transcript;
    // Each event says one whole line or none, so the lines end in the
    // order they are said, and each line's gloss follows in step.
    std::string glosses;
    int status = 1;
    D88Reader reader;
    if (!reader.open(path.c_str())) {
        const std::string line = openFailureMessage;
        transcript.add(Stream::err, line.data(), std::streamsize(line.size()));
        glosses = std::string(openFailureGloss) + '\n';
    } else {
        CutMessages messages(name);
        cutImages(reader, platform::fileId(path.c_str()), [&](const CutEvent& event) {
            const MessageLine line = messages.lineOf(event);
            transcript.add(line.stream, line.text.data(), std::streamsize(line.text.size()));
            if (!line.text.empty())
                glosses += line.gloss + '\n';
        });
        status = messages.status();
    }
    outputs[cutLines] = transcript.finish();
    outputs[cutGlosses] = glosses;
    return status;
}

// Scans the chosen file NAME as `d88scan NAME` and `d88scan --json NAME`
// would, from one pass over it: the text report's lines as a Transcript in
// d88web_output(1), the JSON document in d88web_output(2); returns
// d88scan's exit status.
EMSCRIPTEN_KEEPALIVE int d88web_scan(const char* name)
{
    Transcript transcript;
    TranscriptBuffer outBuffer(transcript, Stream::out);
    TranscriptBuffer errBuffer(transcript, Stream::err);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    std::ostringstream json;
    TextReport text(out);
    JsonReport document(json);
    Progress progress;
    ScanReports reports(err, {&text, &document, &progress});
    document.begin();
    const FileFindings file = scanFile(inputPath(name).c_str(), name, reports);
    document.end();
    outputs[scanLines] = transcript.finish();
    outputs[scanJson] = json.str();
    return scanStatus(0, file);
}

// Removes the chosen file NAME once it has been cut and scanned.
EMSCRIPTEN_KEEPALIVE void d88web_forget(const char* name)
{
    platform::removeFile(inputPath(name).c_str());
}

// Empties the folder, for a person who starts over: the files of their
// earlier choices go, as if the page had been opened afresh.
EMSCRIPTEN_KEEPALIVE void d88web_clear()
{
    for (const std::string& name : folderFiles())
        platform::removeFile(name.c_str());
    listed.clear();
}

// What the last cut (0: its lines, 3: their English glosses) or scan (1:
// the report, 2: the JSON) wrote.
EMSCRIPTEN_KEEPALIVE const char* d88web_output(int which)
{
    return outputs[which].data();
}

EMSCRIPTEN_KEEPALIVE int32_t d88web_output_size(int which)
{
    return int32_t(outputs[which].size());
}

// Reads every file of the folder, in the order of their names, for
// d88web_file_name, d88web_file_bytes and d88web_file_size; returns how
// many there are.
EMSCRIPTEN_KEEPALIVE int32_t d88web_list()
{
    listed.clear();
    for (const std::string& name : folderFiles()) {
        std::ifstream in(name, std::ios::binary | std::ios::ate);
        FolderFile file{name, std::vector<uint8_t>(size_t(std::max<std::streamoff>(in.tellg(), 0)))};
        in.seekg(0);
        in.read(reinterpret_cast<char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
        file.bytes.resize(size_t(in.gcount()));
        listed.push_back(std::move(file));
    }
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
