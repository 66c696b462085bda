# Run by cpack once the files are staged and before the package is made
# (CPACK_PRE_BUILD_SCRIPTS). A Debian package's dependencies are worked out
# from the programs by dpkg-shlibdeps, which needs `file` to find them;
# without them cpack stops with words that name neither package.
if(CPACK_GENERATOR STREQUAL "DEB")
  foreach(need "file:file" "dpkg-shlibdeps:dpkg-dev")
    string(REPLACE ":" ";" need "${need}")
    list(GET need 0 program)
    list(GET need 1 package)
    find_program(found_${program} ${program})
    if(NOT found_${program})
      message(FATAL_ERROR "cpack -G DEB needs the ${program} program to work out the package's dependencies: apt-get install -y ${package}")
    endif()
  endforeach()
endif()
