# 64-bit Windows with MinGW-w64 (runs under wine64 on the build machine).
set(VELMORA_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
