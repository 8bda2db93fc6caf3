# Cross-build for 64-bit Windows with Debian's MinGW-w64.
set(DG_MINGW_TRIPLE x86_64-w64-mingw32)
set(DG_MINGW_PROCESSOR AMD64)
set(DG_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
