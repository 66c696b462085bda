// d88cut: cuts the music, sound drivers and ADPCM samples out of the disks
// of one game's disk set, given as a D88 image file.
#include <iostream>

#include "cutter/run.h"
#include "d88/d88_reader.h"
#include "platform/platform.h"

int main(int argc, char* argv[])
{
    platform::prepareProcess();
    // The one reader of the program; it closes the image file when main
    // returns.
    D88Reader reader;
    return run(reader, argc, argv, std::cout, std::cerr);
}
