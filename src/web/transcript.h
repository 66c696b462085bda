// How the page sees a run's console: both streams' lines, in the order a
// terminal would show them, each marked with its stream.
#pragma once

#include <initializer_list>
#include <ios>
#include <streambuf>
#include <string>

#include "report/cut_messages.h"  // Stream

// What a console shows of one run: its lines in the order they were ended,
// each marked with the stream it went to. Each stream gathers its own line
// until the line ends, so a line is never torn by the other stream.
//
// Handed to the page as one byte string: for each line 'o' (stdout) or 'e'
// (stderr), the line's bytes as written (Shift-JIS for the disk messages),
// and '\n'.

class Transcript {
public:
    void add(Stream stream, const char* bytes, std::streamsize count)
    {
        for (std::streamsize i = 0; i < count; ++i) {
            if (bytes[i] == '\n')
                endLine(stream);
            else
                open_[int(stream)] += bytes[i];
        }
    }

    // A last line without its line end still counts as a line.
    const std::string& finish()
    {
        for (Stream stream : {Stream::out, Stream::err})
            if (!open_[int(stream)].empty())
                endLine(stream);
        return lines_;
    }

private:
    void endLine(Stream stream)
    {
        lines_ += stream == Stream::out ? 'o' : 'e';
        lines_ += open_[int(stream)];
        lines_ += '\n';
        open_[int(stream)].clear();
    }

    std::string lines_;
    std::string open_[2];
};

// A stream's bytes go to the transcript as they are written, unbuffered,
// so the order of writes across the two streams is kept.
class TranscriptBuffer : public std::streambuf {
public:
    TranscriptBuffer(Transcript& transcript, Stream stream)
        : transcript_(transcript), stream_(stream) {}

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        transcript_.add(stream_, &byte, 1);
        return c;
    }

    std::streamsize xsputn(const char* bytes, std::streamsize count) override
    {
        transcript_.add(stream_, bytes, count);
        return count;
    }

private:
    Transcript& transcript_;
    Stream stream_;
};
