# Removes every file that install_manifest.txt, in the current directory,
# lists, and then the folders the install made (install_created_dirs.txt,
# written before it installed anything) that this left empty, deepest
# first. Run by the uninstall target of the build tree.
if(NOT EXISTS install_manifest.txt)
  message(FATAL_ERROR "no install_manifest.txt here: nothing was installed from this build tree")
endif()
file(STRINGS install_manifest.txt files)
foreach(file IN LISTS files)
  set(file "$ENV{DESTDIR}${file}")
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
endforeach()
if(EXISTS install_created_dirs.txt)
  file(STRINGS install_created_dirs.txt dirs)
  # share/doc/d88cut before share/doc, share/man/man1 before share/man.
  list(SORT dirs)
  list(REVERSE dirs)
  foreach(dir IN LISTS dirs)
    file(GLOB left "${dir}/*")
    if(IS_DIRECTORY "${dir}" AND NOT left)
      message(STATUS "Removing the folder ${dir}")
      file(REMOVE_RECURSE "${dir}")
    endif()
  endforeach()
  file(REMOVE install_created_dirs.txt)
endif()
