// Writes the fuzzers' seed corpus into a directory: one image of each disk
// of the set, the early Start Disk, the whole set, and a few small damaged
// images, all made with the tests' own image builder.
//
//   make_corpus DIR
#include <fstream>
#include <iostream>
#include <string>

#include "disk_set.h"

namespace {

void save(const std::string& dir, const std::string& name, const Bytes& data)
{
    std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: make_corpus DIR\n";
        return 1;
    }
    const std::string dir = argv[1];
    const char* names[] = {"user", "program", "disk-a", "disk-b", "disk-c", "start", "jukebox"};
    for (int kind = 0; kind < 7; ++kind)
        save(dir, std::string(names[kind]) + ".d88", makeSetDisk(SetDisk(kind)).image());
    save(dir, "start-early.d88", makeSetDisk(SetDisk::Start, {0, true}).image());
    save(dir, "whole-set.d88", makeWholeSet());

    // A label sector and a few records: small seeds the fuzzer can
    // mutate quickly.
    D88Builder small;
    Bytes label = bytes(1024, 0);
    std::memcpy(label.data(), "SOLK-VARIN 5", 12);
    small.addSector(1, SectorId{0, 1, 1, 3}, label);
    small.addSector(1, SectorId{0, 1, 5, 3}, bytes(1024, 0x11));
    small.addSector(2, SectorId{1, 0, 1, 3}, bytes(1024, 0x22));
    small.addSector(6, SectorId{3, 0, 4, 3}, bytes(256, 0x33));
    save(dir, "small-start.d88", small.image());
    D88Builder lying = small;
    lying.track(1)[0].recordCount = 300;
    lying.track(2)[0].dataSize = 4000;
    save(dir, "small-lying.d88", lying.image());
    return 0;
}
