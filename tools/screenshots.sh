#!/bin/sh
# Screenshots of the main window for a person to look at: the program at its created size and
# at an inner size of 1000 x 700, and a window filled with sample data on each tab.
#   screenshots.sh <wine64 loader> <folder of the .exe files> <output folder>
# Needs DISPLAY and WINEPREFIX (scripts/wine-env.sh), xdotool and ImageMagick's import.
set -eu
wine=$1
bin=$2
out=$3
title='Brelmont Appcensus v3.133'
mkdir -p "$out"
rm -f "$out"/*.png

for tool in xdotool import identify; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

started=""
cleanup() {
  for pid in $started; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# Waits for the window of the given title and prints its X window id.
find_window() {
  i=0
  while [ $i -lt 300 ]; do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
    i=$((i + 1))
  done
  echo "window not found" >&2
  return 1
}

# shot <x window id> <file> <expected width> <expected height>
shot() {
  sleep 0.7
  import -window "$1" "$out/$2"
  size=$(identify -format '%wx%h' "$out/$2")
  echo "$out/$2: $size"
  [ "$size" = "$3x$4" ] || { echo "expected $3x$4" >&2; exit 1; }
}

# The program itself, as at a first run (no stored window size).
"$wine" reg delete 'HKCU\Software\Brelmont\Appcensus' /f >/dev/null 2>&1 || true
"$wine" "$bin/Appcensus_multi.exe" &
program=$!
started="$program"
id=$(find_window)
shot "$id" main-622x300.png 622 300
# Whole on the screen: import only sees what the screen shows.
"$wine" "$bin/ui_window_tool.exe" move 0 0
"$wine" "$bin/ui_window_tool.exe" resize 1000 700
shot "$id" main-1000x700.png 1000 700
"$wine" "$bin/ui_window_tool.exe" close
wait "$program" || { echo "the program ended with $?" >&2; exit 1; }
started=""

# Sample data on each tab.
"$wine" "$bin/ui_demo_window.exe" &
demo=$!
started="$demo"
id=$(find_window)
"$wine" "$bin/ui_window_tool.exe" move 0 0
"$wine" "$bin/ui_window_tool.exe" resize 1000 700
shot "$id" sample-table.png 1000 700
"$wine" "$bin/ui_window_tool.exe" tab 1
"$wine" "$bin/ui_window_tool.exe" expand 2
shot "$id" sample-tree.png 1000 700
"$wine" "$bin/ui_window_tool.exe" tab 2
shot "$id" sample-activity.png 1000 700
"$wine" "$bin/ui_window_tool.exe" close
wait "$demo"
started=""
