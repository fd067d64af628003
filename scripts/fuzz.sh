#!/usr/bin/env bash
# Runs the libFuzzer targets of fuzz/ for as long as asked, one after the other:
#
#   bash scripts/fuzz.sh [seconds-per-target] [target...]
#
# Defaults: 10 seconds per target, every target (fuzz/fuzz_<target>.cpp). Builds the preset
# "fuzz" first (run scripts/setup.sh once before, as for the other builds). Each target starts
# from its seed corpus fuzz/corpus/<target>/ (only read) and from what earlier runs found in
# build/fuzz/fuzz/corpus/<target>/, where new inputs go; an input that breaks a property is
# written to build/fuzz/fuzz/artifacts/ and the target's log to build/fuzz/fuzz/logs/. Prints
# one line of figures per target; exits non-zero when a target failed.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds="${1:-10}"
[[ $# -gt 0 ]] && shift
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [[ "$seconds" -eq 0 ]]; then
  echo "usage: $0 [seconds-per-target] [target...]" >&2
  exit 2
fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for source in fuzz/fuzz_*.cpp; do
    name="${source#fuzz/fuzz_}"
    targets+=("${name%.cpp}")
  done
fi

cmake --preset fuzz --log-level=WARNING >/dev/null
cmake --build --preset fuzz

out=build/fuzz/fuzz
mkdir -p "$out/logs" "$out/artifacts"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
for target in "${targets[@]}"; do
  binary="$out/fuzz_$target"
  if [[ ! -x "$binary" ]]; then
    echo "[fuzz] no target named $target" >&2
    failed=1
    continue
  fi
  mkdir -p "$out/corpus/$target"
  log="$out/logs/$target.log"
  started=$(date +%s)
  rc=0
  "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$target-" "$out/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  elapsed=$(( $(date +%s) - started ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$last")
  result=ok
  if [[ $rc -ne 0 ]]; then
    result="FAILED (exit $rc, see $log)"
    failed=1
  fi
  printf '[fuzz] %-15s %5ss  runs %-10s exec/s %-7s cov %-5s ft %-6s corpus %-12s %s\n' \
    "$target" "$elapsed" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$result"
done
exit "$failed"
