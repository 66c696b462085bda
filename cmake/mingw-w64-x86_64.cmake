# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers
# (g++-mingw-w64-x86-64-posix), and runs what it builds under wine:
#
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
#
# The posix-threads compilers, not the win32 ones: their C++ runtime has
# std::thread and friends, which GoogleTest expects.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingwTriple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingwTriple}-windres)

# Libraries and headers come from the MinGW tree alone, never from the
# build machine's own; programs (groff, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingwTriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked statically, the C and C++ runtimes and winpthread
# included, so that an executable needs only the DLLs every Windows has.
# Without it, one missing libwinpthread-1.dll stops the program before
# main, with no message at all.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Tests and other built programs run through wine; see wine-run.sh.
# One wine prefix, in the build tree, for the build and the tests alike.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wine)
