# Writes the page's shell with its stylesheet, its script and the zip
# library in place of their markers, so the page is one file.
#   cmake -DSOURCES=web -DOUTPUT=build-web/web/shell.html -DVERSION=1.1.0 -P InlineShell.cmake
cmake_minimum_required(VERSION 3.16)

file(READ ${SOURCES}/shell.html shell)
file(READ ${SOURCES}/d88cut.css css)
file(READ ${SOURCES}/d88cut.js script)
file(GLOB zipLibrary ${SOURCES}/vendor/fflate-*.min.js)
file(READ ${zipLibrary} zip)
file(READ ${SOURCES}/lang/en.json english)
file(READ ${SOURCES}/lang/ja.json japanese)

foreach(marker "/* d88cut.css */" "/* d88cut.js */" "/* fflate */" "@VERSION@")
  string(FIND "${shell}" "${marker}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${SOURCES}/shell.html has no ${marker}")
  endif()
endforeach()
string(REPLACE "/* d88cut.css */" "${css}" shell "${shell}")
string(REPLACE "/* fflate */" "${zip}" shell "${shell}")
string(REPLACE "/* d88cut.js */" "${script}" shell "${shell}")
# The tables of words go into the script, which has their markers.
string(REPLACE "/* lang/en.json */" "${english}" shell "${shell}")
string(REPLACE "/* lang/ja.json */" "${japanese}" shell "${shell}")
string(REPLACE "@VERSION@" "${VERSION}" shell "${shell}")
file(WRITE ${OUTPUT} "${shell}")
