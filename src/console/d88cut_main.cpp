// d88cut: cuts the music, sound drivers and ADPCM samples out of the disks
// of one game's disk set, given as a D88 image file.
#include <iostream>

#include "console/cut_command.h"
#include "platform/platform.h"

int main(int argc, char* argv[])
{
    platform::prepareProcess();
    return cutCommand(argc, argv, std::cout, std::cerr);
}
