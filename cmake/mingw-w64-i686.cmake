# Cross build for 32-bit Windows with MinGW-w64: the shipping build. Its programs run under the
# 64-bit Wine as WOW64 processes.
set(ORVIK_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
