# Fails when a source includes a header of a higher layer. Run as: cmake -DSRC=<src dir> -P CheckLayers.cmake
# Layers from the bottom; a folder may include its own layer and any lower one.
get_filename_component(SRC "${SRC}" ABSOLUTE)
set(KRTP_LAYERS "util" "config" "platform" "transfer" "accounts filestore sitetools" "app" "cli")

set(level 0)
foreach(layer IN LISTS KRTP_LAYERS)
  string(REPLACE " " ";" folders "${layer}")
  foreach(folder IN LISTS folders)
    set(LEVEL_${folder} ${level})
  endforeach()
  math(EXPR level "${level} + 1")
endforeach()

file(GLOB_RECURSE sources RELATIVE ${SRC} ${SRC}/*.cpp ${SRC}/*.h)
set(violations "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${source}")
  if(NOT DEFINED LEVEL_${folder})
    continue() # main.cpp and generated files sit on top
  endif()
  file(STRINGS ${SRC}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^/\"]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^/\"]+)/.*" "\\1" target "${line}")
    if(DEFINED LEVEL_${target} AND LEVEL_${target} GREATER LEVEL_${folder})
      string(APPEND violations "  ${source}: ${line}\n")
    endif()
  endforeach()
  # Core sources never reach into a window.
  if(NOT source MATCHES "/gui/")
    foreach(line IN LISTS includes)
      if(line MATCHES "/gui/")
        string(APPEND violations "  ${source} (core): ${line}\n")
      endif()
    endforeach()
  endif()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the layer order (util <- config <- platform <- transfer <- "
                      "accounts, filestore, sitetools <- app <- cli):\n${violations}")
endif()
message(STATUS "Layer order kept in ${SRC}")
