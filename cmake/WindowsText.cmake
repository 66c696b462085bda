# Writes a text file for the Windows package, every line ending in CR LF as
# Windows' own editors expect:
#
#   cmake -D IN=FILE -D OUT=FILE [-D GROFF=PROGRAM] [-D JAPANESE=ON] -P WindowsText.cmake
#
# With GROFF, IN is a manual page, set first as plain UTF-8 text: Windows
# has no man. No hyphenation, and no overstriking for bold or italic.
# JAPANESE: the text starts with a UTF-8 byte order mark, by which Notepad
# on a Japanese Windows tells UTF-8 from the system's code page, 932. (A
# Japanese manual page loads groff's Japanese line breaking itself.)
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
if(JAPANESE)
  string(ASCII 239 187 191 byteOrderMark)
  string(PREPEND text "${byteOrderMark}")
endif()
file(WRITE ${OUT} "${text}")
