# The libraries below the front ends, one per subsystem, in layers: each
# links only the layers beneath it, so code that calls upward does not link.
#
#   kr_layer(NAME DIRS dir... [BELOW lib...])
#
# makes the static library NAME for the source folders DIRS (each folder's
# CMakeLists.txt adds its sources with target_sources(NAME ...)), links it to
# the BELOW libraries, and adds NAME_linkcheck: a program holding every object
# of NAME and nothing but its layers beneath, so a call to a higher layer
# fails the build with an undefined reference. The folders and their allowed
# layers are written to layers.txt in the build folder, for the include check
# (tools/check_layers.py, the LayerIncludes test). KR_LINKCHECK=OFF leaves
# the link checks out (the sanitizer tree: the Release tree has made them).
#
#   kr_front_end(TARGET DIRS dir... BELOW lib... [QT])
#
# links a front end's library TARGET to the layers it uses and writes its
# folders to layers.txt as well, so the include check holds the front ends to
# the same rule: they include the layers they link and never another front
# end. Only a front end marked QT may include Qt.
option(KR_LINKCHECK "Build a link check program per layer" ON)
set(KR_LAYERS_FILE ${CMAKE_BINARY_DIR}/layers.txt)
file(WRITE ${KR_LAYERS_FILE} "")

# The folders of the layers `below` and of every layer beneath them, into
# `out`; the layers themselves, near and far, into `out_reach`.
function(kr_reach out out_reach)
  set(reach ${ARGN})
  foreach(b ${ARGN})
    get_property(r GLOBAL PROPERTY KR_LAYER_${b}_REACH)
    list(APPEND reach ${r})
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set(dirs)
  foreach(b ${reach})
    get_property(d GLOBAL PROPERTY KR_LAYER_${b}_DIRS)
    list(APPEND dirs ${d})
  endforeach()
  set(${out} ${dirs} PARENT_SCOPE)
  set(${out_reach} ${reach} PARENT_SCOPE)
endfunction()

function(kr_layer name)
  cmake_parse_arguments(L "" "" "DIRS;BELOW" ${ARGN})
  add_library(${name} STATIC)
  target_link_libraries(${name} PUBLIC ${L_BELOW})
  set_property(GLOBAL PROPERTY KR_LAYER_${name}_DIRS ${L_DIRS})
  set_property(GLOBAL PROPERTY KR_LAYER_${name}_BELOW ${L_BELOW})
  kr_reach(beneath reach ${L_BELOW})
  set_property(GLOBAL PROPERTY KR_LAYER_${name}_REACH ${reach})
  set(allowed ${L_DIRS} ${beneath})
  string(REPLACE ";" " " dirs "${L_DIRS}")
  string(REPLACE ";" " " allowed "${allowed}")
  file(APPEND ${KR_LAYERS_FILE} "${name}: ${dirs} | ${allowed}\n")
  if(KR_LINKCHECK)
    add_executable(${name}_linkcheck ${CMAKE_SOURCE_DIR}/cmake/linkcheck_main.cpp)
    target_link_libraries(${name}_linkcheck PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>" ${L_BELOW})
  endif()
endfunction()

function(kr_front_end target)
  cmake_parse_arguments(F "QT" "" "DIRS;BELOW" ${ARGN})
  target_link_libraries(${target} PUBLIC ${F_BELOW})
  kr_reach(beneath reach ${F_BELOW})
  set(allowed ${F_DIRS} ${beneath})
  string(REPLACE ";" " " dirs "${F_DIRS}")
  string(REPLACE ";" " " allowed "${allowed}")
  set(kind "front")
  if(F_QT)
    set(kind "front qt")
  endif()
  file(APPEND ${KR_LAYERS_FILE} "${kind} ${target}: ${dirs} | ${allowed}\n")
endfunction()
