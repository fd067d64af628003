# Cross toolchain: 64-bit Windows with Debian's MinGW-w64 (posix threads).
# Used by the "win64" preset, or: cmake -DCMAKE_TOOLCHAIN_FILE=<this file> ...
set(APPCENSUS_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
