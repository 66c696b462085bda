// The page shows a run's stdout and stderr as one list of lines, in the
// order a terminal would show them; these are the cases where that order
// or a line's bytes could go wrong.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tool_output.h"
#include "web/transcript.h"

namespace {

struct Console {
    Transcript transcript;
    TranscriptBuffer outBuffer{transcript, Stream::out};
    TranscriptBuffer errBuffer{transcript, Stream::err};
    std::ostream out{&outBuffer};
    std::ostream err{&errBuffer};
};

TEST(Transcript, KeepsTheOrderOfLinesAcrossStreams)
{
    Console console;
    console.out << "cutting ... MA100\n";
    console.err << "warning: MA101 is incomplete: " << 512 << " of " << 640
                << " bytes could be read\n";
    console.out << "cutting ... MA102\n";
    EXPECT_EQ(console.transcript.finish(),
              "ocutting ... MA100\n"
              "ewarning: MA101 is incomplete: 512 of 640 bytes could be read\n"
              "ocutting ... MA102\n");
}

TEST(Transcript, ALineWrittenInPiecesStaysWholeAndTakesItsPlaceWhenItEnds)
{
    Console console;
    console.out << "cutting ... ";
    console.err << "error: cannot write MA100\n";
    console.out << "MA100" << '\n';
    EXPECT_EQ(console.transcript.finish(),
              "eerror: cannot write MA100\n"
              "ocutting ... MA100\n");
}

TEST(Transcript, KeepsShiftJisBytesEmptyLinesAndALastLineWithoutItsEnd)
{
    Console console;
    // "Disk A を認識しました.", whose second bytes are never a line end.
    console.out << recognised("Disk A") << "\n";
    console.err << "no line end";
    EXPECT_EQ(console.transcript.finish(), "o" + recognised("Disk A") + "o\neno line end\n");
}

}  // namespace
