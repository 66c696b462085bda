// Writes a sample disk set: one D88 file holding all seven disks of the set,
// with their labels, the JukeBox marker and the Start Disk's version byte in
// place and made-up data everywhere else, each 16 bytes of it saying which
// image, track, sector and offset it stands at. It lets anyone watch d88cut
// do its whole job without the real disks.
//
//   make_sample_set FILE.d88 [IMAGES]
//   make_sample_set --damaged FILE.d88
//
// IMAGES (default 7, one set) goes round the set as often as needed; 64
// makes a file as large as the catalogue can take. --damaged writes one set
// with faults a real dump may have, for d88scan to explain.
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "disk_set.h"

namespace {

// The Program Disk lacks sector R 2 of track 14, where three files begin,
// and R 2 of track 22, in the middle of MA105; Disk B's label sector is
// gone, so it is no disk of the set at all.
Bytes makeDamagedSet()
{
    Bytes file;
    for (int i = 0; i < 7; ++i) {
        D88Builder disk = makeSetDisk(SetDisk(i), {i});
        if (SetDisk(i) == SetDisk::Program)
            disk = without(without(disk, 14, 2), 22, 2);
        if (SetDisk(i) == SetDisk::DiskB)
            disk = without(disk, 0, 1);
        const Bytes image = disk.image();
        file.insert(file.end(), image.begin(), image.end());
    }
    return file;
}

}  // namespace

int main(int argc, char* argv[])
{
    const bool damaged = argc > 1 && std::strcmp(argv[1], "--damaged") == 0;
    // Any other word beginning with '-' asks for help, not for a file.
    if (argc < 2 || argc > 3 || (damaged && argc != 3) || (!damaged && argv[1][0] == '-')) {
        std::cerr << "usage: make_sample_set FILE.d88 [IMAGES]\n"
                     "       make_sample_set --damaged FILE.d88\n";
        return 1;
    }
    const int images = argc == 3 && !damaged ? std::atoi(argv[2]) : 7;
    if (images < 1 || images > 1000) {
        std::cerr << "make_sample_set: IMAGES must be from 1 to 1000\n";
        return 1;
    }
    if (damaged)
        ++argv;

    if (!writeBytes(argv[1], damaged ? makeDamagedSet() : makeDiskSequence(images))) {
        std::cerr << "make_sample_set: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
