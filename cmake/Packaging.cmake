# What `cmake --install` puts where, `cmake --build build --target uninstall`,
# and the packages that `cpack` makes in the build tree: a Debian package,
# or for Windows a zip. The top-level file includes this last, once every
# program's target is defined.

include(GNUInstallDirs)

# Every program the project installs; doc/NAME.1, where there is one, is
# its manual page, and doc/ja/NAME.1 the same page in Japanese.
set(D88CUT_PROGRAMS d88cut d88scan)

set(D88CUT_MAINTAINER "the d88cut authors <d88cut@users.noreply.example>")

# Files read below; the build configures itself anew when they change.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE)

# CHANGELOG.md's newest released entry, "## VERSION (YYYY-MM-DD)", must be
# this version's; its date is the release date. An "## Unreleased" entry
# above it gathers what the next release will bring.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md newest REGEX "^## [0-9]" LIMIT_COUNT 1)
string(REGEX MATCH "^## ([^ ]+) \\(([0-9]+-[0-9]+-[0-9]+)\\)$" newest "${newest}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry must read \"## ${PROJECT_VERSION} (YYYY-MM-DD)\"")
endif()
set(D88CUT_RELEASE_DATE ${CMAKE_MATCH_2})

# Before anything is installed: which of the folders the install may make
# are not there yet. The uninstall target removes those, and only those,
# when they are empty again. A second install keeps what the first found.
if(NOT WIN32)
  install(CODE "
    set(list \"${PROJECT_BINARY_DIR}/install_created_dirs.txt\")
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    if(NOT root MATCHES \"_CPack_Packages\")
      set(created)
      if(EXISTS \"\${list}\")
        file(STRINGS \"\${list}\" created)
      endif()
      foreach(dir
          ${CMAKE_INSTALL_DOCDIR} ${CMAKE_INSTALL_DATAROOTDIR}/doc
          ${CMAKE_INSTALL_MANDIR}/man1 ${CMAKE_INSTALL_MANDIR}/ja/man1
          ${CMAKE_INSTALL_MANDIR}/ja ${CMAKE_INSTALL_MANDIR}
          ${CMAKE_INSTALL_DATAROOTDIR}/d88cut ${CMAKE_INSTALL_DATAROOTDIR}
          ${CMAKE_INSTALL_BINDIR} .)
        get_filename_component(path \"\${root}/\${dir}\" ABSOLUTE)
        if(NOT EXISTS \"\${path}\")
          list(APPEND created \"\${path}\")
        endif()
      endforeach()
      list(REMOVE_DUPLICATES created)
      string(REPLACE \";\" \"\\n\" created \"\${created}\")
      file(WRITE \"\${list}\" \"\${created}\\n\")
    endif()
  ")
endif()

# The Windows zip unpacks to one folder that holds the programs and their
# texts side by side.
set(programDestination ${CMAKE_INSTALL_BINDIR})
if(WIN32)
  set(programDestination .)
endif()
foreach(program IN LISTS D88CUT_PROGRAMS)
  install(TARGETS ${program} RUNTIME DESTINATION ${programDestination})
endforeach()

# The page, d88cut.html, is built apart, with Emscripten (the web preset);
# named here, it is installed with the programs: beside them in the Windows
# zip, in /usr/share/d88cut in the Debian package.
set(D88CUT_WEB_PAGE "" CACHE FILEPATH "A built d88cut.html to install with the programs (empty: none)")
if(D88CUT_WEB_PAGE)
  if(NOT EXISTS ${D88CUT_WEB_PAGE})
    message(FATAL_ERROR "D88CUT_WEB_PAGE: no ${D88CUT_WEB_PAGE}; build it first: cmake --preset web && cmake --build --preset web")
  endif()
  if(WIN32)
    install(FILES ${D88CUT_WEB_PAGE} DESTINATION . RENAME d88cut.html)
  else()
    install(FILES ${D88CUT_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/d88cut RENAME d88cut.html)
  endif()
endif()

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

# For Windows: writes IN as the text NAME beside the programs, with CR LF
# line ends; with GROFF, IN is a manual page, set as plain text. JAPANESE:
# the text is Japanese, and starts with a byte order mark, by which Notepad
# knows UTF-8.
if(WIN32)
  find_program(GROFF_PROGRAM groff)
  if(NOT GROFF_PROGRAM)
    message(WARNING "No groff (apt-get install groff-base): the Windows package will have no manual")
  endif()
  add_custom_target(windows_texts ALL)
  function(d88cut_windows_text in name)
    cmake_parse_arguments(PARSE_ARGV 2 arg "JAPANESE" "GROFF" "")
    set(groff)
    if(arg_GROFF)
      set(groff -D GROFF=${arg_GROFF})
    endif()
    if(arg_JAPANESE)
      list(APPEND groff -D JAPANESE=ON)
    endif()
    add_custom_command(OUTPUT ${docs}/${name}
      COMMAND ${CMAKE_COMMAND} -D IN=${in} -D OUT=${docs}/${name} ${groff}
              -P ${PROJECT_SOURCE_DIR}/cmake/WindowsText.cmake
      DEPENDS ${in} ${PROJECT_SOURCE_DIR}/cmake/WindowsText.cmake
      VERBATIM)
    target_sources(windows_texts PRIVATE ${docs}/${name})
    install(FILES ${docs}/${name} DESTINATION .)
  endfunction()
endif()

# The manual pages, with the version of project() and the date of the
# newest released CHANGELOG.md entry on their title line: English in man1,
# which man shows by default, Japanese in ja/man1, which it shows in a
# Japanese locale. In the Windows zip, NAME.txt and NAME-ja.txt.
set(D88CUT_MAN_PAGES)
foreach(program IN LISTS D88CUT_PROGRAMS)
  if(EXISTS ${PROJECT_SOURCE_DIR}/doc/${program}.1)
    string(APPEND D88CUT_MAN_PAGES " ${program}.1")
    foreach(language en ja)
      if(language STREQUAL "en")
        set(folder "")
        set(text ${program}.txt)
        set(japanese)
      else()
        set(folder ${language}/)
        set(text ${program}-${language}.txt)
        set(japanese JAPANESE)
      endif()
      if(NOT EXISTS ${PROJECT_SOURCE_DIR}/doc/${folder}${program}.1)
        continue()
      endif()
      set(built ${docs}/${folder}${program}.1)
      configure_file(${PROJECT_SOURCE_DIR}/doc/${folder}${program}.1 ${built} @ONLY)
      if(WIN32)
        if(GROFF_PROGRAM)
          d88cut_windows_text(${built} ${text} GROFF ${GROFF_PROGRAM} ${japanese})
        endif()
      else()
        d88cut_gzip(page ${built})
        install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/${folder}man1)
      endif()
    endforeach()
  endif()
endforeach()

if(WIN32)
  # The zip's own README, for Windows users: what the programs do and how
  # to run them there, not how to build them on Linux.
  configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${docs}/README-windows.txt @ONLY)
  d88cut_windows_text(${docs}/README-windows.txt README.txt)
  configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.ja.txt ${docs}/README-windows.ja.txt @ONLY)
  d88cut_windows_text(${docs}/README-windows.ja.txt README-ja.txt JAPANESE)
  d88cut_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
else()
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
endif()

# Removes what the last `cmake --install` from this build tree wrote, as
# its install_manifest.txt lists it.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM
)

# The packages. `cpack` in the build tree makes d88cut_VERSION_ARCH.deb,
# or in a Windows build d88cut-VERSION-win64.zip.
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
# The dependencies, worked out from the binary by dpkg-shlibdeps; a missing
# program it needs is named, with its package, before cpack starts on it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageNeeds.cmake)
# Removing the package removes man's formatted copies of its pages too;
# prerm, not postrm, so that a removed package leaves no state in dpkg.
configure_file(${PROJECT_SOURCE_DIR}/cmake/prerm.in ${PROJECT_BINARY_DIR}/debian/prerm @ONLY)
# man keeps its copies of the Japanese pages in a folder of their own.
file(READ ${PROJECT_BINARY_DIR}/debian/prerm prerm)
set(catCopy "rm -f \"/var/cache/man/cat1/$page.gz\"")
string(FIND "${prerm}" "${catCopy}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "cmake/prerm.in no longer says ${catCopy}: say where man's copies of the Japanese pages go")
endif()
string(REPLACE "${catCopy}" "${catCopy} \"/var/cache/man/ja/cat1/$page.gz\"" prerm "${prerm}")
file(WRITE ${PROJECT_BINARY_DIR}/debian/prerm "${prerm}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A package installs under /usr, while `cmake --install` keeps its own
# prefix (/usr/local unless told otherwise).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# The Windows zip: one folder, d88cut-VERSION-win64, to unpack anywhere.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  unset(CPACK_PACKAGING_INSTALL_PREFIX)
endif()

include(CPack)
