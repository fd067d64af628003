# Shared part of the MinGW-w64 toolchains: the including file sets APPCENSUS_MINGW_TRIPLET
# and CMAKE_SYSTEM_PROCESSOR first.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)
# CMAKE_SYSTEM_PROCESSOR is set by the including file.

# The -posix flavour of Debian's MinGW-w64 compilers provides std::thread and
# friends (through winpthreads).
set(CMAKE_C_COMPILER   ${APPCENSUS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${APPCENSUS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${APPCENSUS_MINGW_TRIPLET}-windres)
# The "-posix" suffix hides the tool prefix from CMake's binutils lookup, so
# name the archiver tools explicitly (the host 'ar' does not know PE objects).
set(CMAKE_AR     ${APPCENSUS_MINGW_TRIPLET}-ar)
set(CMAKE_RANLIB ${APPCENSUS_MINGW_TRIPLET}-ranlib)

# Where the cross-built dependencies (scripts/build-mingw-deps.sh) live, in
# order of preference:
#   1. cache variable (or environment variable) APPCENSUS_DEPS_PREFIX: either a
#      directory with one sub-directory per triplet, or the triplet directory,
#   2. $ENV{APPCENSUS_CACHE}/deps/<triplet>,
#   3. $ENV{HOME}/.cache/appcensus/deps/<triplet>.
if(NOT APPCENSUS_DEPS_PREFIX AND NOT "$ENV{APPCENSUS_DEPS_PREFIX}" STREQUAL "")
  set(APPCENSUS_DEPS_PREFIX "$ENV{APPCENSUS_DEPS_PREFIX}")
endif()
if(APPCENSUS_DEPS_PREFIX)
  if(IS_DIRECTORY "${APPCENSUS_DEPS_PREFIX}/${APPCENSUS_MINGW_TRIPLET}")
    set(APPCENSUS_MINGW_DEPS_DIR "${APPCENSUS_DEPS_PREFIX}/${APPCENSUS_MINGW_TRIPLET}")
  else()
    set(APPCENSUS_MINGW_DEPS_DIR "${APPCENSUS_DEPS_PREFIX}")
  endif()
elseif(NOT "$ENV{APPCENSUS_CACHE}" STREQUAL "")
  set(APPCENSUS_MINGW_DEPS_DIR "$ENV{APPCENSUS_CACHE}/deps/${APPCENSUS_MINGW_TRIPLET}")
elseif(NOT "$ENV{HOME}" STREQUAL "")
  set(APPCENSUS_MINGW_DEPS_DIR "$ENV{HOME}/.cache/appcensus/deps/${APPCENSUS_MINGW_TRIPLET}")
else()
  set(APPCENSUS_MINGW_DEPS_DIR "/root/.cache/appcensus/deps/${APPCENSUS_MINGW_TRIPLET}")
endif()
# try_compile() projects re-read this file; hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES APPCENSUS_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH
  "/usr/${APPCENSUS_MINGW_TRIPLET}"
  "${APPCENSUS_MINGW_DEPS_DIR}")
# Tools run on the build machine; headers, libraries and CMake packages come
# only from the target roots above.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A pkg-config call must never see the build machine's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${APPCENSUS_MINGW_DEPS_DIR}/lib/pkgconfig:${APPCENSUS_MINGW_DEPS_DIR}/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Self-contained executables: libgcc, libstdc++ and winpthread are linked in,
# so the .exe needs only the DLLs that every Windows installation has.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
