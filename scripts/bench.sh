#!/usr/bin/env bash
# Builds and runs the benchmarks of bench/ and prints their figures (nothing is asserted):
#   - session_model_benchmark (native): a remote machine of 300 entries on the in-memory
#     registry's model of network round trips, the call pattern of before against the
#     registry sessions, at 0.5, 2 and 20 ms per round trip;
#   - compare_benchmark (native): --compare of 2,000 entries against an earlier json output
#     of as many, apart from reading the machine;
#   - inventory_benchmark (wine64): the inventory of 2,000 local entries, then the same
#     entries spread over the three Uninstall keys;
#   - ui_fill_benchmark (wine64): a request of 5,000 entries in the window, and how long the
#     window leaves messages unanswered meanwhile;
#   - cli_benchmark (wine64): Appcensus_cli . --format csv on 2,000 entries beside reg query;
#   - startup_benchmark (wine64): start-up to a visible window beside the smallest window
#     program, median of five runs.
# Run it after scripts/setup.sh (scripts/test.sh or scripts/run.sh run that first).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

cmake --preset native --log-level=WARNING >/dev/null
cmake --build --preset native --target session_model_benchmark compare_benchmark >/dev/null
cmake --preset win64 --log-level=WARNING >/dev/null
cmake --build --preset win64 --target inventory_benchmark ui_fill_benchmark cli_benchmark startup_benchmark >/dev/null

echo "== session_model_benchmark (native)"
build/native/bench/session_model_benchmark
echo "== compare_benchmark (native)"
build/native/bench/compare_benchmark 2000

trap 'appcensus_wine_env_stop' EXIT
export APPCENSUS_WINEPREFIX="${APPCENSUS_BENCH_WINEPREFIX:-$PWD/build/wineprefix-bench}"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
bin=build/win64
echo "== inventory_benchmark (wine64)"
"$WINELOADER" "$bin/inventory_benchmark.exe" 2000
"$WINELOADER" "$bin/inventory_benchmark.exe" 2000 spread
echo "== ui_fill_benchmark (wine64)"
"$WINELOADER" "$bin/ui_fill_benchmark.exe" 5000
echo "== cli_benchmark (wine64)"
"$WINELOADER" "$bin/cli_benchmark.exe" "$bin/Appcensus_cli.exe" 2000
echo "== startup_benchmark (wine64)"
"$WINELOADER" "$bin/startup_benchmark.exe" 5
