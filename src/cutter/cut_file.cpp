#include "cutter/cut_file.h"

#include <string>

uint8_t sectorBuffer[sectorBufferSize];

namespace {

// A leftover under the temporary name is cleared and the name tried again;
// someone who keeps putting things there gets this many tries, then an
// error, never a write through what they put.
constexpr int createTries = 4;

// Why writing a file failed: the system's words, whether it was making
// the new file in the folder that failed, or whether the temporary name
// turned out to be the D88 file itself.
struct WriteFailure {
    std::string why;
    bool creating = false;
    bool temporaryIsInput = false;
};

// Writes the file whole or not at all. The bytes go to a file of its own
// beside the final one, made afresh for this write, and take the final
// name in one step (a rename, or a swap with the earlier file) only when
// every byte is out and the file is closed, so the name holds its earlier
// file or the new one, whole, whatever stops the run: a full disk, a
// file-size limit, a kill. A link of the name is replaced by the new file,
// not written through; a directory of the name stays, and is reported.
bool writeFile(const char* name, const std::string& temporary, const uint8_t* data,
               int32_t size, const platform::FileId& input, WriteFailure& failure)
{
    platform::Create made = platform::Create::Taken;
    for (int tries = 0; tries < createTries && made == platform::Create::Taken; ++tries) {
        made = platform::createFile(temporary.c_str(), data, size);
        if (made != platform::Create::Taken)
            break;
        // Whatever stands under the temporary name is a killed run's
        // leftover, or was put there to be written through. A plain file
        // or a link goes (the link itself, not what it names); anything
        // else is in the way. Only the D88 file itself, so named, stays:
        // with it would go the disks it holds.
        if (platform::sameFile(platform::fileId(temporary.c_str()), input)) {
            failure.temporaryIsInput = true;
            return false;
        }
        if (!platform::removeFile(temporary.c_str()))
            failure.why = temporary + ": " + platform::lastError();
    }
    if (made != platform::Create::Done) {
        if (made == platform::Create::Failed)
            failure.why = platform::lastError();
        else if (failure.why.empty())
            failure.why = temporary + ": taken again each time it was cleared";
        failure.creating = true;
        return false;
    }
    if (platform::replaceFile(temporary.c_str(), name))
        return true;
    failure.why = platform::lastError();
    platform::removeFile(temporary.c_str());
    return false;
}

}  // namespace

void say(CutRun& run, const std::string& text)
{
    run.out << text;
    if (!run.out && run.outFailure.empty())
        run.outFailure = platform::lastError();
}

CutRead readCut(D88Reader& reader, int32_t track, int32_t c, int32_t h, int32_t r,
                int32_t n, int32_t offset, int32_t length)
{
    if (offset < 0 || length < 0 || int64_t(offset) + length > sectorBufferSize)
        return CutRead{0, 0};

    // The run is read from its first sector, so the file's bytes begin
    // `offset` bytes into that sector and may go on over several sectors
    // and track sides.
    const int32_t wanted = offset + length;
    const int32_t got = reader.readRun(track, c, h, r, n, sectorBuffer, wanted);

    // When a sector on the way is missing, the buffer past the last whole
    // sector still holds an earlier read's bytes; they belong to no file.
    const int32_t size = got < wanted ? (got > offset ? got - offset : 0) : length;
    return CutRead{got, size};
}

bool cutFile(CutRun& run, const char* name, int32_t track,
             int32_t c, int32_t h, int32_t r, int32_t n,
             int32_t offset, int32_t length)
{
    const CutRead got = readCut(run.reader, track, c, h, r, n, offset, length);
    if (got.runBytes == 0)
        return false;

    say(run, "cutting ... " + std::string(name) + '\n');

    const int32_t size = got.fileBytes;
    const std::string temporary = std::string(name) + temporarySuffix;
    const char* const refused = " is the D88 file being read; ";
    if (platform::sameFile(platform::fileId(name), run.input)) {
        run.err << "error: " << name << refused << "it is not written\n";
        ++run.failedOutputs;
        return false;
    }
    WriteFailure failure;
    if (!writeFile(name, temporary, sectorBuffer + offset, size, run.input, failure)) {
        if (failure.temporaryIsInput) {
            run.err << "error: " << temporary << refused << name << " is not written\n";
            ++run.failedOutputs;
            return false;
        }
        run.err << "error: cannot write " << name << ": " << failure.why;
        // A folder that refuses new files fails every output alike; the
        // first line says where the files were being made.
        if (failure.creating && !run.folderNamed) {
            run.err << " (making " << temporary << " in the current folder)";
            run.folderNamed = true;
        }
        run.err << '\n';
        ++run.failedOutputs;
        return false;
    }
    if (size < length)
        run.err << "warning: " << name << " is incomplete: " << size << " of "
                << length << " bytes could be read\n";
    return true;
}
