# 32-bit Windows with MinGW-w64.
set(VELMORA_MINGW_HOST i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
