# What the two Windows toolchains share: mingw-w64 with the posix thread model and static
# runtimes, and Wine as the emulator ctest runs the Windows programs under. The including file
# sets GW_MINGW (the target triplet), CMAKE_SYSTEM_PROCESSOR and GW_WINE_LOADER (the Wine loader
# for that architecture: Debian's `wine` wrapper starts the 32-bit one whenever wine32 is
# installed, so 64-bit runs name the 64-bit loader themselves).
set(CMAKE_SYSTEM_NAME Windows)

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

if(NOT EXISTS ${GW_WINE_LOADER})
  message(FATAL_ERROR "The Wine loader ${GW_WINE_LOADER} is missing: run scripts/setup")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${GW_WINE_LOADER})
