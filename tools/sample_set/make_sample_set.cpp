// Writes a sample disk set: one D88 file holding all seven disks of the set,
// with their labels, the JukeBox marker and the Start Disk's version byte in
// place and made-up data everywhere else, each 16 bytes of it saying which
// image, track, sector and offset it stands at. It lets anyone watch d88cut
// do its whole job without the real disks.
//
//   make_sample_set FILE.d88 [IMAGES]
//
// IMAGES (default 7, one set) goes round the set as often as needed; 64
// makes a file as large as the catalogue can take.
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "disk_set.h"

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: make_sample_set FILE.d88 [IMAGES]\n";
        return 1;
    }
    const int images = argc == 3 ? std::atoi(argv[2]) : 7;
    if (images < 1 || images > 1000) {
        std::cerr << "make_sample_set: IMAGES must be from 1 to 1000\n";
        return 1;
    }

    const Bytes file = makeDiskSequence(images);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    out.close();
    if (!out) {
        std::cerr << "make_sample_set: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
