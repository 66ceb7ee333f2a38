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

# velmora_tests(DEPS ...): one test program per *_test.cpp (label unit) and per
# *_itest.cpp (label integration) in the calling folder.
function(velmora_tests)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB integration_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_itest.cpp)
  foreach(kind unit integration)
    foreach(source IN LISTS ${kind}_sources)
      get_filename_component(stem ${source} NAME_WE)
      get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
      set(target test_${folder}_${stem})
      add_executable(${target} ${source})
      set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
      target_link_libraries(${target} PRIVATE ${ARG_DEPS} velmora_test_support GTest::gtest GTest::gmock GTest::gtest_main)
      target_compile_definitions(${target} PRIVATE VELMORA_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")
      if(kind STREQUAL "integration")
        # Integration tests start real programs that look for each other by
        # name (the updater, the starter): they never run at the same time.
        gtest_discover_tests(${target} PROPERTIES LABELS ${kind} RESOURCE_LOCK velmora_programs
                             DISCOVERY_TIMEOUT 30)
      else()
        gtest_discover_tests(${target} PROPERTIES LABELS ${kind} DISCOVERY_TIMEOUT 30)
      endif()
    endforeach()
  endforeach()
endfunction()
