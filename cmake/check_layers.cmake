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
  ${SRC}/shell/* ${SRC}/books/* ${SRC}/keyboard/* ${SRC}/navigation/* ${SRC}/bookmarks/*
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

# The ports, the player and the books sit below the owner and its parts:
# they include none of them.
set(lower_rule "#[ \t]*include[ \t]*\"[./]*(shell|keyboard|navigation|bookmarks|exchange|dialogs)/")
file(GLOB lower_files ${SRC}/platform/*.h ${SRC}/platform/*.cpp ${SRC}/player/* ${SRC}/books/* ${SRC}/daisy/*)

# The owner, which builds and wires every part, is known only to itself and
# the window layer (three files); every other part is given what it uses.
set(owner_rule "#[ \t]*include[ \t]*\"([./]*shell/)?frmbrowser\\.h\"")
set(owner_includers shell/frmbrowser.cpp app/mainwindow.cpp app/automation.cpp)
file(GLOB_RECURSE all_files ${SRC}/*.h ${SRC}/*.cpp)

set(found "")
foreach(f IN LISTS lower_files)
  file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "${lower_rule}")
      file(RELATIVE_PATH rel "${SRC}" "${f}")
      string(APPEND found "  ${rel}: ${line}\n")
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
