// d88scan: reports what d88cut would do with D88 files, and why, writing
// nothing.
#include <iostream>

#include "console/scan_command.h"
#include "platform/platform.h"

int main(int argc, char* argv[])
{
    // As for d88cut: a reader of the report that goes away ends the scan
    // with status 2 and a line on stderr, not with a signal.
    platform::prepareProcess();
    return scanCommand(argc, argv, std::cout, std::cerr);
}
