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
set(CMAKE_C_FLAGS_INIT "${dg_win_defs}")
set(CMAKE_CXX_FLAGS_INIT "${dg_win_defs}")
set(CMAKE_RC_FLAGS_INIT "-c 65001")

# The runtime (libgcc, libstdc++, winpthread) is linked statically: every
# binary imports only DLLs that every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs through Wine. Debian's /usr/bin/wine starts the
# 32-bit loader; the 64-bit loader sits beside it.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DG_WINE_LOADER})
endif()
