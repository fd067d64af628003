# appcensus_add_test(NAME <name> TARGET <target>
#                    [ARGS <arg>...] [TIMEOUT <seconds>] [LABELS <label>...])
#
# Registers a test that runs the executable target <target>:
#   - native builds: test <name>, running the target directly (label "native"); in a
#     native build with ThreadSanitizer or AddressSanitizer the test is named "tsan.<name>"
#     or "asan.<name>" (labels "native" and "tsan" or "asan"), so that one ctest run over
#     several native builds (scripts/test.sh) names each test once;
#   - 64-bit Windows (MinGW) builds: test "wine64.<name>", running the .exe with
#     the 64-bit Wine loader (label "wine64"). WINEPREFIX and DISPLAY are read
#     from the environment of the ctest run (scripts/wine-env.sh sets them up);
#     when WINEPREFIX is unset there, the configure-time default
#     APPCENSUS_TEST_WINEPREFIX is used. WINEDEBUG=-all keeps Wine quiet;
#   - 32-bit Windows builds: nothing (this machine cannot run 32-bit code).
#
# Windows executables are never run at build time, so no test discovery is
# used there: one test per executable.

include_guard(GLOBAL)

set(WINE64_LOADER "/usr/lib/wine/wine64" CACHE FILEPATH
  "64-bit Wine loader that runs the Windows test executables")
set(APPCENSUS_TEST_WINEPREFIX "${CMAKE_SOURCE_DIR}/build/wineprefix" CACHE PATH
  "Wine prefix for tests when WINEPREFIX is not set in the environment of the ctest run")
set(APPCENSUS_TEST_TIMEOUT 300 CACHE STRING
  "Default timeout (seconds) of tests registered with appcensus_add_test")

if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND CMAKE_SIZEOF_VOID_P EQUAL 8
   AND NOT CMAKE_HOST_SYSTEM_NAME STREQUAL "Windows" AND NOT EXISTS "${WINE64_LOADER}")
  message(WARNING "WINE64_LOADER (${WINE64_LOADER}) does not exist; the wine64.* tests will fail. "
                  "Run scripts/setup.sh or set -DWINE64_LOADER=<path>.")
endif()

function(appcensus_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME;TARGET;TIMEOUT" "ARGS;LABELS")
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "appcensus_add_test: unexpected arguments: ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_NAME OR NOT ARG_TARGET)
    message(FATAL_ERROR "appcensus_add_test: NAME and TARGET are required")
  endif()
  if(NOT TARGET ${ARG_TARGET})
    message(FATAL_ERROR "appcensus_add_test(${ARG_NAME}): '${ARG_TARGET}' is not a target")
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${APPCENSUS_TEST_TIMEOUT})
  endif()
  set(_labels "")
  if(ARG_LABELS)
    set(_labels ";${ARG_LABELS}")
  endif()

  if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND NOT CMAKE_HOST_SYSTEM_NAME STREQUAL "Windows")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # 32-bit Windows code cannot run on this machine: build only.
      return()
    endif()
    set(test_name "wine64.${ARG_NAME}")
    # sh applies the default prefix only when the ctest run has none, then
    # hands over to the Wine loader; the loader returns the exe's exit code.
    add_test(NAME ${test_name}
      COMMAND /bin/sh -c "WINEPREFIX=\"\${WINEPREFIX:-\$1}\"; export WINEPREFIX; shift; exec \"\$@\""
              appcensus-wine64 "${APPCENSUS_TEST_WINEPREFIX}"
              "${WINE64_LOADER}" "$<TARGET_FILE:${ARG_TARGET}>" ${ARG_ARGS})
    set_tests_properties(${test_name} PROPERTIES
      ENVIRONMENT "WINEDEBUG=-all"
      LABELS "wine64${_labels}"
      TIMEOUT ${ARG_TIMEOUT})
  else()
    set(test_name "${ARG_NAME}")
    if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=([^ ]*,)?thread")
      set(test_name "tsan.${ARG_NAME}")
      set(_labels ";tsan${_labels}")
    elseif(CMAKE_CXX_FLAGS MATCHES "-fsanitize=([^ ]*,)?address")
      set(test_name "asan.${ARG_NAME}")
      set(_labels ";asan${_labels}")
    endif()
    add_test(NAME ${test_name} COMMAND ${ARG_TARGET} ${ARG_ARGS})
    set_tests_properties(${test_name} PROPERTIES
      LABELS "native${_labels}"
      TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
