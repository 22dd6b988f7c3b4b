# A header included by many files ties them all to it: every header in the
# source folder included by more than MAX files (8 unless given; a header's
# own .cpp is not counted) is reported and the check fails. The ports and
# base logic (platform/*.h), the adapters' own headers (platform/*/) and the
# shared services (services/) are meant to be used everywhere: not counted.
# Includes are found as check_layers.cmake finds them: relative to the
# including file's folder, else relative to the source folder.
# Run as: cmake -DSRC=<src folder> [-DMAX=8] -P check_fanin.cmake
cmake_policy(SET CMP0057 NEW)
if(NOT SRC)
  message(FATAL_ERROR "check_fanin: SRC not given")
endif()
if(NOT DEFINED MAX)
  set(MAX 8)
endif()
get_filename_component(SRC "${SRC}" ABSOLUTE)

file(GLOB_RECURSE all_files ${SRC}/*.h ${SRC}/*.cpp)
set(headers "")
foreach(f IN LISTS all_files)
  file(RELATIVE_PATH rel "${SRC}" "${f}")
  file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  get_filename_component(dir "${f}" DIRECTORY)
  set(seen "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" inc "${line}")
    get_filename_component(target "${dir}/${inc}" ABSOLUTE)
    if(NOT EXISTS "${target}" AND EXISTS "${SRC}/${inc}")
      get_filename_component(target "${SRC}/${inc}" ABSOLUTE)
    endif()
    if(NOT EXISTS "${target}")
      continue()
    endif()
    file(RELATIVE_PATH to "${SRC}" "${target}")
    if(to MATCHES "^\\.\\./" OR to MATCHES "^platform/" OR to MATCHES "^services/")
      continue()
    endif()
    # A header's own source file is its implementation, not a user of it;
    # one file including a header twice is one includer.
    string(REGEX REPLACE "\\.h$" ".cpp" own "${to}")
    if(to IN_LIST seen OR rel STREQUAL own)
      continue()
    endif()
    list(APPEND seen "${to}")
    string(MAKE_C_IDENTIFIER "${to}" key)
    if(NOT DEFINED includers_${key})
      list(APPEND headers "${to}")
      set(includers_${key} "")
    endif()
    list(APPEND includers_${key} "${rel}")
  endforeach()
endforeach()

set(found "")
list(SORT headers)
foreach(h IN LISTS headers)
  string(MAKE_C_IDENTIFIER "${h}" key)
  list(LENGTH includers_${key} n)
  if(n GREATER MAX)
    list(JOIN includers_${key} ", " names)
    string(APPEND found "  ${h}: included by ${n} files (${names})\n")
  endif()
endforeach()

if(found)
  message(FATAL_ERROR "Headers included by more than ${MAX} files:\n${found}")
endif()
list(LENGTH headers n)
message(STATUS "check_fanin: ${n} headers, none included by more than ${MAX} files")
