// d88scan's command line: tells what d88cut would do with D88 files, and
// why, without writing anything.
#pragma once

#include <ostream>

// Runs d88scan on a command line (argv[0] is the program's name, the rest
// options and D88 files), writing the report to `out` and complaints to
// `err`. Returns the exit status, after diff's: 0 when every file d88cut
// would cut from these D88 files would be whole, 1 when one would be
// incomplete or absent, 2 on a usage error or a D88 file that cannot be
// opened or read (or a report that cannot be written).
int scanCommand(int argc, const char* const argv[], std::ostream& out, std::ostream& err);
