# Cross-compiles for 64-bit Windows with mingw-w64 (x86_64, posix thread model) and runs what it
# builds under Wine's 64-bit loader, which needs no 32-bit support from the machine.
set(GW_MINGW x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GW_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
