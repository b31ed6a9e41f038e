# Fails when a source of one layer includes a header of a layer it does not link, or when
# a layer that must stay free of Qt includes a Qt header. Run by the build (cmake -P):
#   -DLAYER_DIR=<folder of the layer> -DALLOWED=<folder,folder,...> -DNO_QT=ON|OFF
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" ALLOWED "${ALLOWED}")
file(GLOB sources ${LAYER_DIR}/*.h ${LAYER_DIR}/*.cpp)
set(faults "")
foreach(source ${sources})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    # The folder of the header, under src/ (such as "pipeline" or "gui/logview").
    if(line MATCHES "#[ \t]*include[ \t]*\"([A-Za-z0-9_/]+)/[^/\"]+\"")
      if(NOT CMAKE_MATCH_1 IN_LIST ALLOWED)
        string(APPEND faults "\n  ${source}: ${line}")
      endif()
    elseif(NO_QT AND line MATCHES "#[ \t]*include[ \t]*<Q")
      string(APPEND faults "\n  ${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes across the layering (allowed here: ${ALLOWED}):${faults}")
endif()
