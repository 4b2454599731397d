# Cross-compiles for 32-bit Windows with mingw-w64 (i686, posix thread model) and runs what it
# builds under Wine's 32-bit loader, so that ctest drives the Windows tests from Linux.
set(GW_MINGW i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GW_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
