# Shared part of the MinGW-w64 toolchain files: set DG_MINGW_TRIPLE and
# DG_MINGW_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DG_MINGW_PROCESSOR})
# Windows 7 SP1 is the oldest supported Windows.
set(CMAKE_SYSTEM_VERSION 6.1)

# The posix thread model: std::thread and std::mutex work (through winpthread).
set(CMAKE_C_COMPILER ${DG_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DG_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DG_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DG_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# MinGW's headers default to Windows 10: pin the API level to Windows 7 so
# that nothing newer links by accident. Wide-character Win32 throughout.
set(dg_win_defs "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -DNTDDI_VERSION=0x06010000 -DUNICODE -D_UNICODE")
# Each function and datum in a section of its own, so that the linker's
# --gc-sections below drops whatever nothing reaches (of our code, SQLite and
# the static runtime alike).
set(dg_sections "-ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${dg_win_defs} ${dg_sections}")
set(CMAKE_CXX_FLAGS_INIT "${dg_win_defs} ${dg_sections}")
set(CMAKE_RC_FLAGS_INIT "-c 65001")
# Release builds optimise for size: the component spends its time in dialogs
# and in SQLite's file access, not in loops that -O2 would make faster. (A
# cache default, as a *_INIT value would get CMake's -O3 appended; a value
# given on the command line still wins.)
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "Flags used by the C compiler during release builds.")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "Flags used by the C++ compiler during release builds.")

# The runtime (libgcc, libstdc++, winpthread) is linked statically: every
# binary imports only DLLs that every Windows has. Release links are
# stripped (symbols and debug information).
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")
  set(CMAKE_${kind}_LINKER_FLAGS_RELEASE_INIT "-s")
endforeach()

# ctest runs the test programs through Wine. Debian's /usr/bin/wine starts the
# 32-bit loader; the 64-bit loader sits beside it.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DG_WINE_LOADER})
endif()
