# Third-party libraries, as imported targets that look the same in every build:
#
#   Appcensus::pcre2    PCRE2, 8-bit code units (PCRE2_CODE_UNIT_WIDTH=8)
#   Appcensus::png      libpng + zlib
#   GTest::gtest, GTest::gtest_main, GTest::gmock   GoogleTest / GoogleMock
#   Appcensus::json     nlohmann-json (header-only, Debian's nlohmann-json3-dev)
#
# Native builds use Debian's -dev packages (libpcre2-dev through pkg-config,
# libpng-dev through find_package(PNG), libgtest-dev/libgmock-dev through
# find_package(GTest)). MinGW builds use the static libraries that
# scripts/build-mingw-deps.sh puts into the dependency prefix named by the
# toolchain file (APPCENSUS_MINGW_DEPS_DIR) and the static zlib of
# libz-mingw-w64-dev in /usr/<triplet>.
#
# Include it from the top-level CMakeLists.txt after project().

if(TARGET Appcensus::pcre2 AND TARGET Appcensus::png AND TARGET GTest::gtest_main AND TARGET Appcensus::json)
  return()
endif()

set(_appcensus_setup_hint "Run scripts/setup.sh (it installs the Debian packages and builds the MinGW dependencies).")

function(_appcensus_missing what)
  message(FATAL_ERROR "Appcensus: ${what} not found.\n${_appcensus_setup_hint}")
endfunction()

if(MINGW OR (CMAKE_SYSTEM_NAME STREQUAL "Windows" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"))
  # -------------------------------------------------------------------------
  # MinGW cross build: static libraries from the dependency prefix.
  # -------------------------------------------------------------------------
  if(NOT APPCENSUS_MINGW_DEPS_DIR)
    message(FATAL_ERROR
      "Appcensus: APPCENSUS_MINGW_DEPS_DIR is not set; configure the Windows builds "
      "with cmake/toolchains/mingw64.cmake or mingw32.cmake (presets win64 / win32).")
  endif()
  if(NOT IS_DIRECTORY "${APPCENSUS_MINGW_DEPS_DIR}")
    _appcensus_missing("the MinGW dependency prefix ${APPCENSUS_MINGW_DEPS_DIR}")
  endif()

  # Search the dependency prefix first; the find-root-path set up by the
  # toolchain file keeps every search inside the target roots.
  set(_appcensus_hints HINTS "${APPCENSUS_MINGW_DEPS_DIR}")

  # zlib: static library of libz-mingw-w64-dev. Name the archive explicitly,
  # plain "z" would pick the DLL import library libz.dll.a.
  find_library(APPCENSUS_MINGW_ZLIB_LIBRARY NAMES libz.a libzlibstatic.a)
  find_path(APPCENSUS_MINGW_ZLIB_INCLUDE_DIR NAMES zlib.h)
  if(NOT APPCENSUS_MINGW_ZLIB_LIBRARY OR NOT APPCENSUS_MINGW_ZLIB_INCLUDE_DIR)
    _appcensus_missing("static zlib for ${APPCENSUS_MINGW_TRIPLET} (libz.a, package libz-mingw-w64-dev)")
  endif()

  # PCRE2
  find_path(APPCENSUS_MINGW_PCRE2_INCLUDE_DIR NAMES pcre2.h ${_appcensus_hints} PATH_SUFFIXES include)
  find_library(APPCENSUS_MINGW_PCRE2_LIBRARY NAMES libpcre2-8.a libpcre2-8-static.a ${_appcensus_hints} PATH_SUFFIXES lib)
  if(NOT APPCENSUS_MINGW_PCRE2_INCLUDE_DIR OR NOT APPCENSUS_MINGW_PCRE2_LIBRARY)
    _appcensus_missing("static PCRE2 (pcre2.h, libpcre2-8.a) in ${APPCENSUS_MINGW_DEPS_DIR}")
  endif()
  if(NOT TARGET Appcensus::pcre2)
    add_library(Appcensus::pcre2 STATIC IMPORTED GLOBAL)
    set_target_properties(Appcensus::pcre2 PROPERTIES
      IMPORTED_LOCATION "${APPCENSUS_MINGW_PCRE2_LIBRARY}"
      IMPORTED_LINK_INTERFACE_LANGUAGES C
      INTERFACE_INCLUDE_DIRECTORIES "${APPCENSUS_MINGW_PCRE2_INCLUDE_DIR}"
      INTERFACE_COMPILE_DEFINITIONS "PCRE2_STATIC;PCRE2_CODE_UNIT_WIDTH=8")
  endif()

  # libpng (+ zlib)
  find_path(APPCENSUS_MINGW_PNG_INCLUDE_DIR NAMES png.h ${_appcensus_hints} PATH_SUFFIXES include include/libpng16)
  find_library(APPCENSUS_MINGW_PNG_LIBRARY NAMES libpng16.a libpng16_static.a libpng.a ${_appcensus_hints} PATH_SUFFIXES lib)
  if(NOT APPCENSUS_MINGW_PNG_INCLUDE_DIR OR NOT APPCENSUS_MINGW_PNG_LIBRARY)
    _appcensus_missing("static libpng (png.h, libpng16.a) in ${APPCENSUS_MINGW_DEPS_DIR}")
  endif()
  if(NOT TARGET Appcensus::zlib)
    add_library(Appcensus::zlib STATIC IMPORTED GLOBAL)
    set_target_properties(Appcensus::zlib PROPERTIES
      IMPORTED_LOCATION "${APPCENSUS_MINGW_ZLIB_LIBRARY}"
      IMPORTED_LINK_INTERFACE_LANGUAGES C
      INTERFACE_INCLUDE_DIRECTORIES "${APPCENSUS_MINGW_ZLIB_INCLUDE_DIR}")
  endif()
  if(NOT TARGET Appcensus::png)
    add_library(Appcensus::png STATIC IMPORTED GLOBAL)
    set_target_properties(Appcensus::png PROPERTIES
      IMPORTED_LOCATION "${APPCENSUS_MINGW_PNG_LIBRARY}"
      IMPORTED_LINK_INTERFACE_LANGUAGES C
      INTERFACE_INCLUDE_DIRECTORIES "${APPCENSUS_MINGW_PNG_INCLUDE_DIR}"
      INTERFACE_LINK_LIBRARIES Appcensus::zlib)
  endif()

  # GoogleTest: the CMake package installed into the dependency prefix.
  if(NOT TARGET GTest::gtest_main)
    find_package(GTest CONFIG QUIET ${_appcensus_hints} NO_DEFAULT_PATH)
    if(NOT GTest_FOUND)
      find_package(GTest CONFIG QUIET)
    endif()
    if(NOT GTest_FOUND OR NOT TARGET GTest::gtest OR NOT TARGET GTest::gtest_main OR NOT TARGET GTest::gmock)
      _appcensus_missing("GoogleTest/GoogleMock for MinGW (lib/cmake/GTest in ${APPCENSUS_MINGW_DEPS_DIR})")
    endif()
  endif()
  unset(_appcensus_hints)

  # nlohmann-json: the same headers serve every target. They sit in the build machine's
  # /usr/include, which a cross build must not search as a whole, so the build tree gets a
  # folder that holds only a link to them.
  if(NOT TARGET Appcensus::json)
    find_path(APPCENSUS_JSON_INCLUDE_DIR NAMES nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(NOT APPCENSUS_JSON_INCLUDE_DIR)
      _appcensus_missing("nlohmann-json (nlohmann/json.hpp, package nlohmann-json3-dev)")
    endif()
    set(_appcensus_json_dir "${CMAKE_BINARY_DIR}/nlohmann-json")
    file(MAKE_DIRECTORY "${_appcensus_json_dir}")
    if(NOT EXISTS "${_appcensus_json_dir}/nlohmann")
      file(CREATE_LINK "${APPCENSUS_JSON_INCLUDE_DIR}/nlohmann" "${_appcensus_json_dir}/nlohmann" SYMBOLIC)
    endif()
    add_library(Appcensus::json INTERFACE IMPORTED GLOBAL)
    set_target_properties(Appcensus::json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_appcensus_json_dir}")
    unset(_appcensus_json_dir)
  endif()

else()
  # -------------------------------------------------------------------------
  # Native build: Debian's development packages.
  # -------------------------------------------------------------------------
  find_package(PkgConfig QUIET)
  if(NOT PKG_CONFIG_FOUND)
    _appcensus_missing("pkg-config (package pkg-config)")
  endif()
  if(NOT TARGET Appcensus::pcre2)
    pkg_check_modules(APPCENSUS_PCRE2 QUIET IMPORTED_TARGET GLOBAL libpcre2-8)
    if(NOT APPCENSUS_PCRE2_FOUND)
      _appcensus_missing("PCRE2 (pkg-config module libpcre2-8, package libpcre2-dev)")
    endif()
    add_library(Appcensus::pcre2 INTERFACE IMPORTED GLOBAL)
    set_target_properties(Appcensus::pcre2 PROPERTIES
      INTERFACE_LINK_LIBRARIES PkgConfig::APPCENSUS_PCRE2
      INTERFACE_COMPILE_DEFINITIONS "PCRE2_CODE_UNIT_WIDTH=8")
  endif()

  if(NOT TARGET Appcensus::png)
    find_package(PNG QUIET)
    if(NOT PNG_FOUND OR NOT TARGET PNG::PNG)
      _appcensus_missing("libpng (package libpng-dev)")
    endif()
    add_library(Appcensus::png INTERFACE IMPORTED GLOBAL)
    # PNG::PNG carries ZLIB::ZLIB.
    set_target_properties(Appcensus::png PROPERTIES INTERFACE_LINK_LIBRARIES PNG::PNG)
  endif()

  if(NOT TARGET GTest::gtest_main)
    find_package(GTest QUIET)
    if(NOT GTest_FOUND OR NOT TARGET GTest::gtest OR NOT TARGET GTest::gtest_main)
      _appcensus_missing("GoogleTest (packages libgtest-dev, googletest)")
    endif()
  endif()
  if(NOT TARGET GTest::gmock)
    # Older FindGTest modules do not define it; Debian's libgmock-dev does
    # ship the library.
    find_library(APPCENSUS_GMOCK_LIBRARY NAMES gmock)
    find_path(APPCENSUS_GMOCK_INCLUDE_DIR NAMES gmock/gmock.h)
    if(NOT APPCENSUS_GMOCK_LIBRARY OR NOT APPCENSUS_GMOCK_INCLUDE_DIR)
      _appcensus_missing("GoogleMock (package libgmock-dev)")
    endif()
    add_library(GTest::gmock UNKNOWN IMPORTED GLOBAL)
    set_target_properties(GTest::gmock PROPERTIES
      IMPORTED_LOCATION "${APPCENSUS_GMOCK_LIBRARY}"
      INTERFACE_INCLUDE_DIRECTORIES "${APPCENSUS_GMOCK_INCLUDE_DIR}"
      INTERFACE_LINK_LIBRARIES GTest::gtest)
  endif()

  if(NOT TARGET Appcensus::json)
    find_package(nlohmann_json 3 QUIET)
    if(NOT nlohmann_json_FOUND)
      _appcensus_missing("nlohmann-json (package nlohmann-json3-dev)")
    endif()
    add_library(Appcensus::json INTERFACE IMPORTED GLOBAL)
    set_target_properties(Appcensus::json PROPERTIES INTERFACE_LINK_LIBRARIES nlohmann_json::nlohmann_json)
  endif()
endif()

unset(_appcensus_setup_hint)
