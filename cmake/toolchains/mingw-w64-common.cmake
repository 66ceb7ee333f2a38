# Shared part of the MinGW-w64 toolchains. The including file sets
# VELMORA_MINGW_HOST (the GNU triple) and CMAKE_SYSTEM_PROCESSOR.
#
# The "-posix" compilers are the ones with std::thread (the default ones use
# the win32 thread model). Programs link statically: no libstdc++, libgcc or
# winpthread DLL has to travel with them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELMORA_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_HOST}-windres)
set(CMAKE_AR ${VELMORA_MINGW_HOST}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${VELMORA_MINGW_HOST}-ranlib CACHE FILEPATH "Ranlib")
set(CMAKE_STRIP ${VELMORA_MINGW_HOST}-strip CACHE FILEPATH "Strip")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Headers and libraries come from the MinGW sysroot and from the folder of
# dependencies built from source (VELMORA_DEPS); programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_HOST})
if(VELMORA_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VELMORA_DEPS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORA_DEPS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
