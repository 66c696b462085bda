// d88cut's command line: one argument, the D88 file, cut into the current
// folder.
#pragma once

#include <ostream>

// Runs d88cut on a command line (argv[0] is the program's name as invoked,
// argv[1] the D88 file), writing what a console would show on stdout to
// `out` and on stderr to `err`, and returns the exit status: 0 when every
// image was read and every file written, 1 otherwise. Nothing of an
// earlier call in the same process counts in this one.
int cutCommand(int argc, const char* const argv[], std::ostream& out, std::ostream& err);
