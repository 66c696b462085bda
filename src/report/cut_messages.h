// d88cut's words: the exact bytes the cutter's console shows for each thing
// that happens in a cut, shared by the console program and the page, so
// that the page shows what a terminal would, byte for byte. The disk
// messages are Shift-JIS, as the disks' own system wrote them.
#pragma once

#include <cstdint>
#include <string>

#include "core/cut.h"

// The console stream a line goes to.
enum class Stream { out, err };

struct MessageLine {
    Stream stream;
    std::string text;  // the whole line with its '\n'; empty when nothing is said
    // What a Japanese line means in English, as the manual page glosses
    // it, for the page to show beside it; empty for a line in English.
    std::string gloss = {};
};

// Turns the events of one cut into lines, and keeps what the exit status
// needs: how many outputs were not written, and whether reading failed.
class CutMessages {
public:
    // `file` is the D88 file as its user named it, for the lines that name it.
    explicit CutMessages(std::string file) : file_(std::move(file)) {}

    MessageLine lineOf(const CutEvent& event);

    // 0 when every file that could be read was written and the D88 file
    // read to its end; 1 otherwise, so that a script sees files are missing.
    int status() const { return failedOutputs_ == 0 && !readFailed_ ? 0 : 1; }

private:
    std::string file_;
    int32_t failedOutputs_ = 0;
    bool readFailed_ = false;
    // Whether an error line has said yet where the files are made.
    bool folderNamed_ = false;
};

// "Usage: PROGRAM [d88file]\n", with the program as it was invoked.
std::string usageLine(const char* program);

// "ファイルをオープンできません.\n"
extern const char openFailureMessage[];

// "Cannot open the file.", its meaning.
extern const char openFailureGloss[];

// Said after the open failure when the argument looks like an option: the
// tool takes none, and a newcomer who typed --help should learn where help is.
extern const char optionHint[];
