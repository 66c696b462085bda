# Writes a text file for the Windows package, every line ending in CR LF as
# Windows' own editors expect:
#
#   cmake -D IN=FILE -D OUT=FILE [-D GROFF=PROGRAM] -P WindowsText.cmake
#
# With GROFF, IN is a manual page, set first as plain UTF-8 text: Windows
# has no man. No hyphenation, and no overstriking for bold or italic.
if(DEFINED GROFF)
  execute_process(COMMAND ${GROFF} -k -man -Tutf8 -P-cbou -rHY=0 ${IN}
                  OUTPUT_VARIABLE text ERROR_VARIABLE warnings RESULT_VARIABLE failed)
  if(failed OR warnings)
    message(FATAL_ERROR "groff could not set ${IN} as text: ${warnings}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
