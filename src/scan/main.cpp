// d88scan: reports what d88cut would do with D88 files, and why, writing
// nothing.
#include <iostream>

#include "scan/scan.h"

int main(int argc, char* argv[])
{
    return scan(argc, argv, std::cout, std::cerr);
}
