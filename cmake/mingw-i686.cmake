# Cross-build for 32-bit Windows with Debian's MinGW-w64.
set(DG_MINGW_TRIPLE i686-w64-mingw32)
set(DG_MINGW_PROCESSOR x86)
set(DG_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
