#!/usr/bin/env bash
# Builds everything and runs every test suite in ONE ctest run:
#   - native GoogleTest suites (preset "native"),
#   - the same suites under AddressSanitizer/UBSan and under ThreadSanitizer (presets
#     "native-asan", "native-tsan"),
#   - every fuzz target for a few seconds (preset "fuzz"; scripts/fuzz.sh runs them longer),
#   - Windows x64 suites under the 64-bit Wine loader (preset "win64"),
#   - the 32-bit Windows build (preset "win32") is built, never run.
# Extra arguments go to ctest (e.g. -R registry, -L wine64, -V).
# Exits with ctest's status.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
REPO_ROOT="$(pwd)"

log() { printf '[test] %s\n' "$*"; }

bash scripts/setup.sh

for preset in native native-asan native-tsan fuzz win64 win32; do
  log "configure + build: $preset"
  cmake --preset "$preset" --log-level=WARNING
  if [[ "$preset" == win32 ]]; then
    # Nothing 32-bit can run here: only the two programs are built.
    cmake --build --preset "$preset" --target Appcensus_multi Appcensus_cli
  else
    cmake --build --preset "$preset"
  fi
done

# Xvfb + Wine prefix + persistent wineserver; stopped again on exit.
trap 'appcensus_wine_env_stop' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

# One top-level test directory that covers every suite, so that a single
# ctest run prints a single summary.
cat > build/CTestTestfile.cmake <<'CTEST'
# Written by scripts/test.sh: one ctest run over the native, sanitizer, fuzz and Wine suites.
subdirs("native")
subdirs("native-asan")
subdirs("native-tsan")
subdirs("fuzz")
subdirs("win64")
CTEST

# Any sanitizer finding fails its test (the sanitizer builds' own test presets say the same).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"

log "ctest (native + sanitizers + fuzz + wine64)"
# Nothing is printed after ctest: its summary stays the last line.
rc=0
ctest --test-dir "$REPO_ROOT/build" --output-on-failure --no-label-summary -j2 "$@" </dev/null || rc=$?
exit "$rc"
