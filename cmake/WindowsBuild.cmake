# The Windows build (MinGW-w64, cmake/toolchains/): the libraries built by
# tools/windows/build-deps.sh in VELMORA_DEPS, static linking, the programs'
# resources (manifest and version), and the tests run under wine.

set(VELMORA_DEPS "" CACHE PATH "Dependencies built by tools/windows/build-deps.sh")
if(NOT VELMORA_DEPS OR NOT EXISTS "${VELMORA_DEPS}/.complete")
  message(FATAL_ERROR "VELMORA_DEPS must name a complete folder of tools/windows/build-deps.sh "
                      "(./run build windows-x64 makes and passes it); it is '${VELMORA_DEPS}'")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${VELMORA_DEPS})
list(APPEND CMAKE_PREFIX_PATH /)

# Static libraries only: a program needs no DLL besides the system's.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_USE_STATIC_LIBS ON)

# -O2: GCC 12's -O3 warns falsely (-Wrestrict) inside the standard library's
# string code.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")

# Windows 7 and later; UTF-16 calls (the program keeps UTF-8 inside).
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)

# The header-only libraries through a folder of links to their headers
# (never the whole of /usr/include).
set(VELMORA_HEADER_ONLY_INCLUDE ${VELMORA_DEPS}/include/header-only)
include_directories(SYSTEM ${VELMORA_HEADER_ONLY_INCLUDE})
set(VELMORA_EASYLOGGING_SOURCE ${VELMORA_HEADER_ONLY_INCLUDE}/easylogging++.cc)

# minizip has no pkg-config file here.
add_library(PkgConfig::MINIZIP STATIC IMPORTED GLOBAL)
set_target_properties(PkgConfig::MINIZIP PROPERTIES
  IMPORTED_LOCATION ${VELMORA_DEPS}/lib/libminizip.a
  INTERFACE_INCLUDE_DIRECTORIES ${VELMORA_DEPS}/include/minizip)

# libsodium (signatures and digests), static.
add_library(PkgConfig::SODIUM STATIC IMPORTED GLOBAL)
set_target_properties(PkgConfig::SODIUM PROPERTIES
  IMPORTED_LOCATION ${VELMORA_DEPS}/lib/libsodium.a
  INTERFACE_INCLUDE_DIRECTORIES ${VELMORA_DEPS}/include
  INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
  INTERFACE_LINK_LIBRARIES advapi32)

# wxWidgets through the wx-config of the build.
set(wxWidgets_CONFIG_EXECUTABLE ${VELMORA_DEPS}/bin/wx-config CACHE FILEPATH "wx-config" FORCE)

# The window module goes into the updater itself.
set(VELMORA_STATIC_WINDOW_MODULE ON)

# Test programs run under wine, in a prefix of their own below the build folder.
# Their tests are listed when ctest runs them, so that a build needs no wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/windows/wine-run.sh)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# velmora_program_resources(TARGET NAME DESCRIPTION [WX] [CONSOLE]): the
# manifest and the version resource of a program; WX adds the toolkit's own
# resources (cursors, images); CONSOLE keeps the console subsystem (a tool run
# from a command prompt), the others are window programs. The version is the
# one compiled into the programs.
file(STRINGS ${PROJECT_SOURCE_DIR}/updater/core/updater_version.h version_line
     REGEX "UPDATER_VERSION\\[\\] = \"[0-9.]+\"")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+" VELMORA_PROGRAM_VERSION "${version_line}")
if(NOT VELMORA_PROGRAM_VERSION)
  message(FATAL_ERROR "no version found in updater/core/updater_version.h")
endif()
string(REPLACE "." "," VELMORA_PROGRAM_VERSION_COMMAS ${VELMORA_PROGRAM_VERSION})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/updater/core/updater_version.h)

function(velmora_program_resources target name description)
  cmake_parse_arguments(ARG "WX;CONSOLE" "" "" ${ARGN})
  set(VELMORA_RC_NAME ${name})
  set(VELMORA_RC_DESCRIPTION ${description})
  set(VELMORA_RC_FILE "${name}.exe")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/resources-${target})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in ${dir}/program.manifest @ONLY)
  if(ARG_WX)
    set(VELMORA_RC_TOOLKIT "#define wxUSE_NO_MANIFEST 1\n#include \"wx/msw/wx.rc\"")
  else()
    set(VELMORA_RC_TOOLKIT "")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${dir}/program.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/program.rc)
  if(ARG_WX)
    set_property(SOURCE ${dir}/program.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${wxWidgets_INCLUDE_DIRS})
  endif()
  if(NOT ARG_CONSOLE)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
endfunction()
