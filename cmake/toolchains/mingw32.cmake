# Cross toolchain: 32-bit Windows with Debian's MinGW-w64 (posix threads).
# Used by the "win32" preset, or: cmake -DCMAKE_TOOLCHAIN_FILE=<this file> ...
set(APPCENSUS_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
