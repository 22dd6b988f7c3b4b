# Functions longer than LIMIT lines (60 unless given), counted from the line
# of the function's name to its closing brace, as Universal Ctags reads them:
# lambdas count with the function around them, and braces in strings,
# character literals and comments count for nothing. Each one is reported as
# "path:line: name (N lines)" and the check fails.
# Run as: cmake -DCTAGS=<ctags> -DSRC=<folder> [-DLIMIT=60] -P check_function_length.cmake
if(NOT SRC OR NOT CTAGS)
  message(FATAL_ERROR "check_function_length: SRC and CTAGS must be given")
endif()
if(NOT DEFINED LIMIT)
  set(LIMIT 60)
endif()

execute_process(
  COMMAND ${CTAGS} -R --languages=C++ --langmap=C++:+.h --kinds-C++=f --fields=+ne --sort=no -x
          "--_xformat=%{line} %{end} %{input}: %{name}" .
  WORKING_DIRECTORY ${SRC}
  OUTPUT_VARIABLE tags
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "check_function_length: ctags failed (${rc})")
endif()

# Paths are written from the folder above, "src/app/main.cpp:12: ...".
get_filename_component(top "${SRC}" NAME)
string(REPLACE "\n" ";" rows "${tags}")
set(found "")
set(count 0)
set(functions 0)
foreach(row IN LISTS rows)
  if(NOT row MATCHES "^([0-9]+) ([0-9]+) (.*)$")
    continue()
  endif()
  math(EXPR functions "${functions} + 1")
  math(EXPR lines "${CMAKE_MATCH_2} - ${CMAKE_MATCH_1} + 1")
  if(lines GREATER LIMIT)
    string(REGEX REPLACE ": " ":${CMAKE_MATCH_1}: " where "${CMAKE_MATCH_3}")
    string(APPEND found "${top}/${where} (${lines} lines)\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()

if(functions EQUAL 0)
  message(FATAL_ERROR "check_function_length: no function found in ${SRC}")
endif()
if(found)
  message(FATAL_ERROR "${found}${count} function(s) longer than ${LIMIT} lines")
endif()
message(STATUS "check_function_length: ${functions} functions, none longer than ${LIMIT} lines")
