# Fails when a core layer includes a header of a layer above it.
#
#   cmake -DSOURCE_DIR=<src> [-DSTAMP=<file>] -P check-layers.cmake
#
# The core layers, lowest first, are logging <- model <- store <- engine; every other
# folder of SOURCE_DIR (cli, app, ui, ...) sits above all of them. A file in
# SOURCE_DIR/<layer>/ may include headers of its own layer and of the layers below;
# an include whose path starts with (or, through "../", leads to) a folder of a higher
# layer is reported with its file and line, and the script fails. On success it
# touches STAMP, when given, so a build can run it only when a source changed.
cmake_minimum_required(VERSION 3.25)

set(layers logging model store engine)

if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "check-layers: SOURCE_DIR is not a folder: '${SOURCE_DIR}'")
endif()

# The rank of a top-level source folder: its place in `layers`, or above them all.
list(LENGTH layers top)
function(rank_of folder out)
  list(FIND layers "${folder}" index)
  if(index EQUAL -1)
    set(${out} ${top} PARENT_SCOPE)
  else()
    set(${out} ${index} PARENT_SCOPE)
  endif()
endfunction()

file(GLOB entries RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
set(folders "")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${SOURCE_DIR}/${entry}")
    list(APPEND folders "${entry}")
  endif()
endforeach()

set(violations "")
foreach(layer IN LISTS layers)
  rank_of(${layer} own)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  list(SORT sources)
  foreach(source IN LISTS sources)
    # One list element per line: the characters that CMake's lists treat specially
    # (never part of an include line) are blanked out first.
    file(READ "${source}" content)
    string(REGEX REPLACE "[][;\\]" " " content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
        continue()
      endif()
      set(path "${CMAKE_MATCH_1}")
      # "../x/y.h" from src/<layer>/ names src/x/y.h; "./y.h" stays in the layer.
      string(REGEX REPLACE "^(\\./)+" "" path "${path}")
      if(path MATCHES "^\\.\\./")
        string(REGEX REPLACE "^(\\.\\./)+" "" path "${path}")
      endif()
      if(NOT path MATCHES "^([^/]+)/")
        continue()
      endif()
      set(folder "${CMAKE_MATCH_1}")
      if(NOT folder IN_LIST folders)
        continue() # a system or library header
      endif()
      rank_of(${folder} target)
      if(target GREATER own)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(STRIP "${line}" text)
        list(APPEND violations "  ${shown}:${number}: ${text}  (${layer} may not include ${folder})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" report)
  message(FATAL_ERROR "Upward includes between the layers (logging <- model <- store <- engine):\n${report}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
