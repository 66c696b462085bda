# What `cmake --install` puts where, `cmake --build build --target uninstall`,
# and the packages that `cpack` makes in the build tree. The top-level file
# includes this last, once every program's target is defined.

include(GNUInstallDirs)

# Every program the project installs; doc/NAME.1, where there is one, is
# its manual page.
set(D88CUT_PROGRAMS d88cut d88scan)

set(D88CUT_MAINTAINER "the d88cut authors <d88cut@users.noreply.example>")

# Files read below; the build configures itself anew when they change.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE)

# CHANGELOG.md's newest entry, "## VERSION (YYYY-MM-DD)", must be this
# version's; its date is the release date.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md newest REGEX "^## " LIMIT_COUNT 1)
string(REGEX MATCH "^## ([^ ]+) \\(([0-9]+-[0-9]+-[0-9]+)\\)$" newest "${newest}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry must read \"## ${PROJECT_VERSION} (YYYY-MM-DD)\"")
endif()
set(D88CUT_RELEASE_DATE ${CMAKE_MATCH_2})

foreach(program IN LISTS D88CUT_PROGRAMS)
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# Writes FILE gzipped beside it, as Debian keeps manual pages and
# changelogs, and sets VAR to the file to install. -n leaves the name and
# time out of the header, so equal files make equal packages.
find_program(GZIP_PROGRAM gzip)
function(d88cut_gzip var file)
  set(${var} ${file} PARENT_SCOPE)
  if(GZIP_PROGRAM)
    execute_process(COMMAND ${GZIP_PROGRAM} -9nc ${file} OUTPUT_FILE ${file}.gz RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${GZIP_PROGRAM} could not compress ${file}")
    endif()
    set(${var} ${file}.gz PARENT_SCOPE)
  endif()
endfunction()

set(docs ${PROJECT_BINARY_DIR}/doc)

# The manual pages, with the version of project() on their title line.
set(D88CUT_MAN_PAGES)
foreach(program IN LISTS D88CUT_PROGRAMS)
  if(EXISTS ${PROJECT_SOURCE_DIR}/doc/${program}.1)
    string(APPEND D88CUT_MAN_PAGES " ${program}.1")
    configure_file(${PROJECT_SOURCE_DIR}/doc/${program}.1 ${docs}/${program}.1 @ONLY)
    d88cut_gzip(page ${docs}/${program}.1)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

# The licence in Debian's machine-readable copyright format, with the text
# of LICENSE from "Permission" on as its indented body, and a changelog in
# Debian's format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(FIND "${licence}" "Permission" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " D88CUT_LICENCE_BODY " ${licence}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/copyright.in ${docs}/copyright @ONLY)
execute_process(COMMAND date -u -R -d "${D88CUT_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE D88CUT_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${PROJECT_SOURCE_DIR}/cmake/changelog.in ${docs}/changelog @ONLY)
d88cut_gzip(changelog ${docs}/changelog)
install(FILES ${docs}/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Removes what the last `cmake --install` from this build tree wrote, as
# its install_manifest.txt lists it.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM
)

# The packages. `cpack -G DEB` in the build tree makes
# d88cut_VERSION_ARCH.deb.
set(CPACK_PACKAGE_NAME d88cut)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the d88cut authors")
set(CPACK_PACKAGE_CONTACT "${D88CUT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "\
d88cut reads a D88 file holding one or more floppy-disk images of one
game's seven-disk set, recognises each disk by its label sectors, and
copies the music data, the two sound drivers and the ADPCM sample data
out of their fixed places on the disks into raw files, byte for byte.
d88scan, beside it, reports what d88cut would do with a file, and why,
without writing anything.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${D88CUT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies, worked out from the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Removing the package removes man's formatted copies of its pages too;
# prerm, not postrm, so that a removed package leaves no state in dpkg.
configure_file(${PROJECT_SOURCE_DIR}/cmake/prerm.in ${PROJECT_BINARY_DIR}/debian/prerm @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A package installs under /usr, while `cmake --install` keeps its own
# prefix (/usr/local unless told otherwise).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

include(CPack)
