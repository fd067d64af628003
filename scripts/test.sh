#!/usr/bin/env bash
# Builds everything and runs every test suite in ONE ctest run:
#   - native GoogleTest suites (preset "native"),
#   - Windows x64 suites under the 64-bit Wine loader (preset "win64"),
#   - the 32-bit Windows build (preset "win32") is built, never run.
# Extra arguments go to ctest (e.g. -R registry, -L wine64, -V).
# Exits with ctest's status.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
REPO_ROOT="$(pwd)"

log() { printf '[test] %s\n' "$*"; }

bash scripts/setup.sh

for preset in native win64 win32; do
  log "configure + build: $preset"
  cmake --preset "$preset" --log-level=WARNING
  cmake --build --preset "$preset"
done

# Xvfb + Wine prefix + persistent wineserver; stopped again on exit.
trap 'appcensus_wine_env_stop' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

# One top-level test directory that covers both suites, so that a single
# ctest run prints a single summary.
cat > build/CTestTestfile.cmake <<'CTEST'
# Written by scripts/test.sh: one ctest run over the native and Wine suites.
subdirs("native")
subdirs("win64")
CTEST

log "ctest (native + wine64)"
# Nothing is printed after ctest: its summary stays the last line.
rc=0
ctest --test-dir "$REPO_ROOT/build" --output-on-failure --no-label-summary -j2 "$@" </dev/null || rc=$?
exit "$rc"
