# Fails when a source file includes a header of a layer above its own.
#   cmake -DSOURCE_ROOT=<folder> -P cmake/CheckLayers.cmake
# Every .h and .cpp below the product folders belongs to the first layer whose
# pattern matches its path (relative to SOURCE_ROOT); it may include headers of
# its own layer and of the layers it names. A product file that matches no
# layer fails the check too, so that a new folder gets its place in the table.

if(NOT SOURCE_ROOT)
  message(FATAL_ERROR "CheckLayers: SOURCE_ROOT is not set")
endif()

# Layer | path pattern (regular expression, first match wins) | layers it may include
set(layers platform text xml core description process tasks ui updater tolvaric starter release)
set(platform_pattern "^platform/")
set(platform_uses "")
set(text_pattern "^updater/core/(text|ini_file)\\.(h|cpp)$")
set(text_uses platform)
set(xml_pattern "^updater/description/(xml_[a-z_]+|read_text_file)\\.(h|cpp)$")
set(xml_uses platform text)
set(core_pattern "^updater/core/")
set(core_uses platform text xml)
set(description_pattern "^updater/description/")
set(description_uses platform text xml core)
set(process_pattern "^updater/process/")
set(process_uses platform text xml core description)
set(tasks_pattern "^updater/tasks/")
set(tasks_uses platform text xml core description process)
set(ui_pattern "^updater/ui/")
set(ui_uses platform text xml core description process)
set(updater_pattern "^updater/[^/]+$")
set(updater_uses platform text xml core description process tasks ui)
set(tolvaric_pattern "^tolvaric/")
set(tolvaric_uses platform)
set(starter_pattern "^starter/")
set(starter_uses platform text)
set(release_pattern "^tools/release/")
set(release_uses platform text xml core description)

function(layer_of path out)
  foreach(layer IN LISTS layers)
    if(path MATCHES "${${layer}_pattern}")
      set(${out} ${layer} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_ROOT}
     ${SOURCE_ROOT}/platform/*.h ${SOURCE_ROOT}/platform/*.cpp
     ${SOURCE_ROOT}/updater/*.h ${SOURCE_ROOT}/updater/*.cpp
     ${SOURCE_ROOT}/tolvaric/*.h ${SOURCE_ROOT}/tolvaric/*.cpp
     ${SOURCE_ROOT}/starter/*.h ${SOURCE_ROOT}/starter/*.cpp
     ${SOURCE_ROOT}/tools/release/*.h ${SOURCE_ROOT}/tools/release/*.cpp)
if(NOT sources)
  message(FATAL_ERROR "CheckLayers: no sources below ${SOURCE_ROOT}")
endif()

set(faults 0)
foreach(source IN LISTS sources)
  layer_of(${source} layer)
  if(NOT layer)
    message(SEND_ERROR "${source}: belongs to no layer (add it to cmake/CheckLayers.cmake)")
    math(EXPR faults "${faults} + 1")
    continue()
  endif()
  set(allowed ${layer} ${${layer}_uses})
  file(STRINGS ${SOURCE_ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    layer_of(${header} header_layer)
    # Headers outside the product folders (generated or of the chosen
    # libraries) have no layer; the ones inside do.
    if(NOT header_layer)
      continue()
    endif()
    list(FIND allowed ${header_layer} index)
    if(index EQUAL -1)
      message(SEND_ERROR "${source} (layer ${layer}) includes ${header} (layer ${header_layer})")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(faults GREATER 0)
  message(FATAL_ERROR "CheckLayers: ${faults} fault(s) in ${count} files")
endif()
message(STATUS "CheckLayers: ${count} files, every include points to the own layer or one below")
