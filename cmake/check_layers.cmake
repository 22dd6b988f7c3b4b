# The logic (everything in qyrcore) sees Qt Core and our own ports only: a
# logic file that includes a widget, web engine, multimedia, speech, mpv,
# sqlite or hivex header, or one of the adapters, is reported here and the
# check fails. Run as: cmake -DSRC=<src folder> -P check_layers.cmake
cmake_policy(SET CMP0057 NEW)
if(NOT SRC)
  message(FATAL_ERROR "check_layers: SRC not given")
endif()

set(logic_globs
  ${SRC}/platform/*.h ${SRC}/platform/*.cpp
  ${SRC}/shell/* ${SRC}/services/* ${SRC}/books/* ${SRC}/keyboard/* ${SRC}/navigation/* ${SRC}/bookmarks/*
  ${SRC}/exchange/* ${SRC}/dialogs/* ${SRC}/player/* ${SRC}/daisy/*)
file(GLOB logic_files ${logic_globs})

set(forbidden
  "#[ \t]*include[ \t]*<(QtWidgets|QtGui|QtWebEngine[A-Za-z]*|QtWebChannel|QtMultimedia[A-Za-z]*|QtTextToSpeech|QtDBus|mpv)/"
  "#[ \t]*include[ \t]*<(sqlite3|hivex|windows)\\.h>"
  "#[ \t]*include[ \t]*<libxml/"
  "#[ \t]*include[ \t]*<Q(Widget|Application|MessageBox|Dialog|WebEngine[A-Za-z]*|WebChannel|Media[A-Za-z]*|Audio[A-Za-z]*|Video[A-Za-z]*|TextToSpeech|Window|Screen|KeyEvent|Accessible[A-Za-z]*)>"
  "#[ \t]*include[ \t]*\"[./]*platform/(browser|media|store|files|ui|hive|daisyxml)/"
  "#[ \t]*include[ \t]*\"[./]*(browser|media|store|files|ui|hive|daisyxml)/[a-z]+\\.h\""
  "#[ \t]*include[ \t]*\"[./]*app/")

# The rooms in floors, from the ground up: a file includes only files of its
# own room or of a lower floor, never one of a higher or the same floor. The
# model of DAISY books lies below the ports that read it; the shared services
# (message band, settings, reading speed, volume range) below every part;
# the composition root (shell) above the parts, the window layer (app) on top.
set(floors daisy platform player books services "dialogs navigation" bookmarks "exchange keyboard" shell app)
set(level 0)
foreach(group IN LISTS floors)
  string(REPLACE " " ";" rooms "${group}")
  foreach(room IN LISTS rooms)
    set(floor_${room} ${level})
  endforeach()
  math(EXPR level "${level} + 1")
endforeach()

# The room of an include written in file f: the file it names relative to
# f's folder, else relative to the source folder (as the build's include path
# finds it); a file that exists in neither place is taken relative to f's
# folder. Empty when the include names nothing in the source folder.
function(room_of_include f inc out)
  get_filename_component(dir "${f}" DIRECTORY)
  get_filename_component(target "${dir}/${inc}" ABSOLUTE)
  if(NOT EXISTS "${target}" AND EXISTS "${SRC}/${inc}")
    get_filename_component(target "${SRC}/${inc}" ABSOLUTE)
  endif()
  file(RELATIVE_PATH rel "${SRC}" "${target}")
  set(room "")
  if(rel MATCHES "^([^/.][^/]*)/")
    set(room "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${room}" PARENT_SCOPE)
endfunction()

# The owner, which builds and wires every part, is known only to itself and
# the window layer (three files); every other part is given what it uses.
set(owner_rule "#[ \t]*include[ \t]*\"([./]*shell/)?frmbrowser\\.h\"")
set(owner_includers shell/frmbrowser.cpp app/mainwindow.cpp app/automation.cpp)
file(GLOB_RECURSE all_files ${SRC}/*.h ${SRC}/*.cpp)

set(found "")
foreach(f IN LISTS all_files)
  file(RELATIVE_PATH rel "${SRC}" "${f}")
  string(REGEX MATCH "^[^/]+" from "${rel}")
  if(NOT DEFINED floor_${from})
    continue()
  endif()
  file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" inc "${line}")
    room_of_include("${f}" "${inc}" to)
    if(to STREQUAL "" OR to STREQUAL from OR NOT DEFINED floor_${to})
      continue()
    endif()
    if(NOT floor_${to} LESS floor_${from})
      string(APPEND found "  ${rel}: ${line} (${from} may not include ${to}: not a lower floor)\n")
    endif()
  endforeach()
endforeach()
foreach(f IN LISTS logic_files)
  file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    foreach(rule IN LISTS forbidden)
      if(line MATCHES "${rule}")
        file(RELATIVE_PATH rel "${SRC}" "${f}")
        string(APPEND found "  ${rel}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

foreach(f IN LISTS all_files)
  file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
  file(RELATIVE_PATH rel "${SRC}" "${f}")
  foreach(line IN LISTS lines)
    if(line MATCHES "${owner_rule}" AND NOT rel IN_LIST owner_includers)
      string(APPEND found "  ${rel}: ${line} (only the window layer may know the owner)\n")
    endif()
  endforeach()
endforeach()

if(found)
  message(FATAL_ERROR "Files include what their layer may not:\n${found}")
endif()
list(LENGTH logic_files n)
message(STATUS "check_layers: ${n} logic files, no forbidden include")
