# Cross-compiles for 32-bit Windows with mingw-w64 (i686, posix thread model) and runs what it
# builds under Wine, so that ctest drives the Windows tests from Linux.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(GW_MINGW i686-w64-mingw32)
set(CMAKE_C_COMPILER ${GW_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GW_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${GW_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GW_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A module or program is one file: the C and C++ runtimes and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(GW_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${GW_WINE})
