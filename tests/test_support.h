// Scratch directories, files and whole runs of the tool, for the tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "disk_set.h"
#include "tool_output.h"

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed again
// when the test ends.
class ScratchDir {
public:
    ScratchDir()
    {
        // Tests run side by side in separate processes: a name another one
        // took is passed over, as creating the directory fails.
        static std::mt19937 random(std::random_device{}());
        do
            path_ = fs::temp_directory_path() / ("d88cut-test-" + std::to_string(random()));
        while (!fs::create_directory(path_));
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::string text(const Bytes& data)
{
    return std::string(data.begin(), data.end());
}

// Every regular file in `dir` but the input image, by name.
inline std::map<std::string, Bytes> outputFiles(const fs::path& dir, const std::string& input)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().filename() != input)
            files[entry.path().filename().string()] = readBytes(entry.path());
    return files;
}

// Writes `image` as "disk.d88" in `dir` and runs the driver on it there.
inline RunResult runOnImage(const ScratchDir& dir, const Bytes& image)
{
    writeBytes(dir / "disk.d88", image);
    return runDriver(dir.path(), {"d88cut", "disk.d88"});
}

// What a built program wrote to stdout or stderr, with its line ends as
// the source writes them. Text streams end every line in CR LF on Windows;
// there a line ending in a bare LF fails the test.
inline std::string fromTextStream(const std::string& written)
{
    if (std::string(textLineEnd) == "\n")
        return written;
    std::string text;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written.compare(i, 2, "\r\n") == 0)
            ++i;
        else if (written[i] == '\n')
            ADD_FAILURE() << "a line ends in LF alone:\n" << written;
        text += written[i];
    }
    return text;
}

// Runs a built program as a user would, inside `dir`, without a shell:
// `command` is the program and any words of its own, `arguments` the rest
// of the command line, split at blanks.
inline RunResult runBinary(const fs::path& dir, const std::string& arguments,
                           const std::vector<std::string>& command = {D88CUT_BINARY})
{
    std::vector<std::string> argv = command;
    std::istringstream words(arguments);
    for (std::string word; words >> word;)
        argv.push_back(word);
    RunResult result;
    result.status = runProgram(argv, dir, dir / "stdout.txt", dir / "stderr.txt");
    result.out = fromTextStream(text(readBytes(dir / "stdout.txt")));
    result.err = fromTextStream(text(readBytes(dir / "stderr.txt")));
    fs::remove(dir / "stdout.txt");
    fs::remove(dir / "stderr.txt");
    return result;
}
