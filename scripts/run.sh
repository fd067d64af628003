#!/usr/bin/env bash
# Builds the 64-bit Windows program and runs it under the 64-bit Wine loader, in a Wine
# prefix of its own (build/wineprefix-run) that holds a few real applications: MSI packages
# built with wixl at this moment and installed with Wine's msiexec, so that the program's
# inventory of the local machine shows real records. In that prefix .csv files open in
# Wine's Notepad, so the export shows its file.
#
#   - With a working display: starts the program on it and waits until it is closed.
#   - Without one: starts the program under Xvfb and drives it like a user (the GUI driver's
#     ui_window_tool): requests the local machine, waits for the result, exports, saves a
#     screenshot of the screen, prints the paths of the screenshot and of the CSV file, and
#     closes the program.
# Exits with the program's exit code (0), or 1 when a step fails.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
REPO_ROOT="$(pwd)"

log() { printf '[run] %s\n' "$*"; }
die() { printf '[run] ERROR: %s\n' "$*" >&2; exit 1; }

bash scripts/setup.sh
cmake --preset win64 --log-level=WARNING
cmake --build --preset win64

BIN="$REPO_ROOT/build/win64"
EXE="$BIN/Appcensus_multi.exe"
TOOL="$BIN/ui_window_tool.exe"
OUT="$REPO_ROOT/build/run"
[[ -f "$EXE" ]] || die "$EXE was not built"
[[ -f "$TOOL" ]] || die "$TOOL was not built"
mkdir -p "$OUT"

# A display of the user's, or none (then wine-env.sh starts Xvfb).
own_display=0
if [[ -n "${DISPLAY:-}" ]] && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then own_display=1; fi

program_pid=""
finish() {
  if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid" 2>/dev/null || true; fi
  appcensus_wine_env_stop
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
export APPCENSUS_WINEPREFIX="${APPCENSUS_RUN_WINEPREFIX:-$REPO_ROOT/build/wineprefix-run}"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

# --- a few real applications, packaged now and installed with msiexec ------------------------
packages="$OUT/packages"
mkdir -p "$packages"
echo "Brelmont Appcensus sample application" > "$packages/readme.txt"
for wxs in tests/inventory/wine/fixture_*.wxs; do
  name="$(basename "$wxs" .wxs)"
  arch=x64
  [[ "$name" == fixture_delta ]] && arch=x86  # a 32-bit application: listed from WOW6432Node
  (cd "$packages" && wixl -a "$arch" -o "$name.msi" "$REPO_ROOT/$wxs" 2>"$name.wixl.log") \
    || { cat "$packages/$name.wixl.log" >&2; die "wixl could not build $name.msi"; }
  # Installed afresh each time (an earlier installation of the same package is removed first).
  "$WINELOADER" msiexec /x "$packages/$name.msi" /qn </dev/null >/dev/null 2>&1 || true
  "$WINELOADER" msiexec /i "$packages/$name.msi" /qn </dev/null || die "msiexec could not install $name.msi"
  log "installed $name.msi"
done

# --- .csv files open in Notepad ------------------------------------------------------------
"$WINELOADER" reg add 'HKLM\Software\Classes\.csv' /ve /d Appcensus.CsvFile /f </dev/null >/dev/null
"$WINELOADER" reg add 'HKLM\Software\Classes\Appcensus.CsvFile\shell\open\command' /ve \
  /d 'C:\windows\system32\notepad.exe "%1"' /f </dev/null >/dev/null

if [[ "$own_display" == 1 ]]; then
  log "starting $EXE on DISPLAY=$DISPLAY; close its window to end"
  rc=0
  "$WINELOADER" "$EXE" </dev/null || rc=$?
  log "Appcensus_multi.exe exit code: $rc"
  exit "$rc"
fi

# --- no display of the user's: a run driven on Xvfb ------------------------------------------
tool() { "$WINELOADER" "$TOOL" "$@" </dev/null; }
log "starting $EXE on Xvfb (DISPLAY=$DISPLAY)"
marker="$OUT/.started"
touch "$marker"
"$WINELOADER" "$EXE" </dev/null &
program_pid=$!

tool move 0 0 || die "the program's window did not appear"
tool resize 1000 600
tool click BT_Afficher  # the empty machine box requests the local machine
done_line="$(tool wait "Traitement termin" 120)" || die "the request of the local machine did not end"
log "program: $done_line"
tool click BT_EditerInfosApplications
csv=""
for _ in $(seq 1 50); do
  csv="$(find "$BIN/export" -maxdepth 1 -name '*.csv' -newer "$marker" 2>/dev/null | head -n 1)"
  [[ -n "$csv" ]] && break
  sleep 0.2
done
[[ -n "$csv" ]] || die "no export file appeared in $BIN/export"

# Notepad shows the file; put it below the program's window when it has appeared.
for _ in $(seq 1 50); do
  notepad="$(xdotool search --onlyvisible --name 'Notepad' 2>/dev/null | head -n 1 || true)"
  [[ -n "$notepad" ]] && break
  sleep 0.2
done
if [[ -n "$notepad" ]]; then
  xdotool windowmove "$notepad" 0 640 2>/dev/null || true
  xdotool windowsize "$notepad" 1000 360 2>/dev/null || true
else
  log "warning: Notepad did not show the export"
fi
tool tab 0
sleep 1
screenshot="$OUT/appcensus-run.png"
import -window root "$screenshot" || die "the screenshot failed"

log "screenshot: $screenshot"
log "CSV export: $csv ($(($(wc -l <"$csv") - 1)) applications)"

tool close
rc=0
wait "$program_pid" || rc=$?
program_pid=""
log "Appcensus_multi.exe exit code: $rc"
exit "$rc"
