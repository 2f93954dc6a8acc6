cmake_minimum_required(VERSION 3.20)
# The engine's layers read bottom-up: a file includes only headers of its own
# layer and of the layers below it (and the public headers of engine/include:
# libtavrin.h and its message table message_words.h).
# Reads every #include "..." line under engine/src and fails, naming the file
# and the line, on one that runs up the layers or names no known layer.
# Run as: cmake -DSRC=<engine/src> -P check_layers.cmake
#
# The order, bottom first (engine/src/wiring/engine_init.h says what each layer
# holds); a new folder must be placed here before its files pass.
set(LAYERS frame sipc roster session contacts im wiring)
string(REPLACE ";" " < " order "${LAYERS}")

if(NOT IS_DIRECTORY "${SRC}")
  message(FATAL_ERROR "SRC is not a folder: ${SRC}")
endif()

file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
list(SORT files)
set(errors "")
set(count 0)
foreach(file ${files})
  string(REGEX MATCH "^[^/]+" own "${file}")
  list(FIND LAYERS "${own}" own_rank)
  if(own_rank LESS 0 OR own STREQUAL file)
    string(APPEND errors "${file}: lies in no layer of ${order}\n")
    continue()
  endif()
  file(STRINGS "${SRC}/${file}" lines)
  set(line_no 0)
  foreach(line IN LISTS lines)
    math(EXPR line_no "${line_no} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(header "${CMAKE_MATCH_1}")
    math(EXPR count "${count} + 1")
    # The public header and the limits every product shares (common/include/tavrin)
    # stand below all layers.
    if(header STREQUAL "libtavrin.h" OR header STREQUAL "message_words.h" OR
       header MATCHES "^tavrin/")
      continue()
    endif()
    if(NOT header MATCHES "^([^/]+)/")
      string(APPEND errors "${file}:${line_no}: includes \"${header}\" without its layer folder\n")
      continue()
    endif()
    set(layer "${CMAKE_MATCH_1}")
    list(FIND LAYERS "${layer}" rank)
    if(rank LESS 0)
      string(APPEND errors "${file}:${line_no}: includes \"${header}\" of no known layer\n")
    elseif(rank GREATER own_rank)
      string(APPEND errors
             "${file}:${line_no}: includes \"${header}\": ${own} may not include ${layer}, a layer above it\n")
    endif()
  endforeach()
endforeach()

if(NOT errors STREQUAL "")
  # One unwrapped line per fault, so that each names its file and line.
  message("${errors}")
  message(FATAL_ERROR "engine/src includes run against the layer order ${order}")
endif()
list(LENGTH files n_files)
message(STATUS "${count} includes in ${n_files} files follow the layer order")
