# velmora_program_resources(TARGET NAME DESCRIPTION [WX]): the Windows
# resources of a program (cmake/WindowsBuild.cmake); nothing elsewhere.
if(NOT WIN32)
  function(velmora_program_resources)
  endfunction()
endif()

# velmora_library(NAME DEPS ...): a static library of every .cpp in the calling folder.
function(velmora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# velmora_tests(DEPS ...): one test program per folder and label: every
# *_test.cpp of the calling folder goes into test_<folder>_unit (label unit),
# every *_itest.cpp into test_<folder>_integration (label integration), every
# *_gtest.cpp into test_<folder>_gui (label gui: real windows on a private X
# server). The program targets are returned in the caller's variables
# VELMORA_UNIT_TESTS, VELMORA_INTEGRATION_TESTS and VELMORA_GUI_TESTS (empty
# when the folder has no such file), so that the folder can add what its tests
# need.
#
# For Windows only the unit tests are built, without the files of
# VELMORA_WINDOWS_EXCLUDED_TESTS (tests/CMakeLists.txt: the Linux-specific
# ones); their label is windows, and they run under wine.
function(velmora_tests)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB integration_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_itest.cpp)
  file(GLOB gui_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_gtest.cpp)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(fixtures "${PROJECT_SOURCE_DIR}/tests/fixtures")
  set(unit_label unit)
  if(WIN32)
    set(integration_sources "")
    set(gui_sources "")
    foreach(excluded IN LISTS VELMORA_WINDOWS_EXCLUDED_TESTS)
      list(REMOVE_ITEM unit_sources ${PROJECT_SOURCE_DIR}/tests/${excluded})
    endforeach()
    # wine sees the build machine's files on drive Z:.
    set(fixtures "Z:${fixtures}")
    set(unit_label windows)
  endif()
  set(VELMORA_UNIT_TESTS "" PARENT_SCOPE)
  set(VELMORA_INTEGRATION_TESTS "" PARENT_SCOPE)
  set(VELMORA_GUI_TESTS "" PARENT_SCOPE)
  foreach(kind unit integration gui)
    if(NOT ${kind}_sources)
      continue()
    endif()
    set(target test_${folder}_${kind})
    add_executable(${target} ${${kind}_sources})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} velmora_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${target} PRIVATE VELMORA_FIXTURES="${fixtures}")
    if(kind STREQUAL "integration")
      # Integration tests start real programs that look for each other by
      # name (the updater, the starter): they never run at the same time.
      gtest_discover_tests(${target} PROPERTIES LABELS ${kind} RESOURCE_LOCK velmora_programs
                           DISCOVERY_TIMEOUT 60)
      set(VELMORA_INTEGRATION_TESTS ${target} PARENT_SCOPE)
    elseif(kind STREQUAL "gui")
      # Each test starts its own X server; the screenshots stay in
      # build/tests/screenshots for a person to look at.
      gtest_discover_tests(${target} PROPERTIES LABELS ${kind} DISCOVERY_TIMEOUT 60 TIMEOUT 120)
      set(VELMORA_GUI_TESTS ${target} PARENT_SCOPE)
    else()
      gtest_discover_tests(${target} PROPERTIES LABELS ${unit_label} DISCOVERY_TIMEOUT 60 TIMEOUT 120)
      set(VELMORA_UNIT_TESTS ${target} PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
