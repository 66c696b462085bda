// The run driver: one pass over the images of a D88 file, recognising each
// disk of the set by its label sectors and cutting its files.
#pragma once

#include <ostream>

#include "d88/d88_reader.h"

// Runs the whole program on a command line (argv[0] is the program's name
// as invoked, argv[1] the D88 file), writing what a console would show on
// stdout to `out` and on stderr to `err`, and returns the exit status: 0
// when every image was processed and every file written, 1 otherwise.
// Nothing of an earlier run in the same process counts in this one.
// A front end that keeps the D88 file somewhere of its own, away from the
// folder the files are cut into, gives the name its user knows the file by
// as `shownName`, and the lines that name the file name it so.
int run(D88Reader& reader, int argc, const char* const argv[], std::ostream& out,
        std::ostream& err, const char* shownName = nullptr);
