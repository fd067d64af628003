# shellcheck shell=bash
# Environment for running the Windows (win64) build under the 64-bit Wine
# loader. Meant to be sourced, from bash:
#
#   source scripts/wine-env.sh || exit 1
#   trap appcensus_wine_env_stop EXIT     # optional: stop what was started
#
# What it does:
#   - DISPLAY: keeps a working one; otherwise starts
#     `Xvfb :<free number> -screen 0 1280x1024x24 -nolisten tcp` in the
#     background and exports DISPLAY.
#   - Wine prefix ${APPCENSUS_WINEPREFIX:-<repo>/build/wineprefix}, 64-bit,
#     created once with `wineboot --init` (no Mono/Gecko install dialogs), with
#     Wine's crash dialog turned off so that a crashing test fails at once
#     instead of waiting for a click.
#   - Starts one persistent wineserver (`wineserver -p`) for the prefix and
#     warms it up, so that every test executable starts in milliseconds.
#   - Exports WINEPREFIX, WINEARCH=win64, WINEDEBUG=-all, WINELOADER,
#     WINESERVER and DISPLAY.
#
# appcensus_wine_env_stop stops only what this file started: the wineserver
# of the prefix (with the Wine processes attached to it) and the Xvfb.
# Works without a TTY, without standard input and as root.

APPCENSUS_WINE_LOADER="${WINE64_LOADER:-/usr/lib/wine/wine64}"
APPCENSUS_WINE_SERVER="${APPCENSUS_WINE_SERVER:-/usr/lib/wine/wineserver}"
# Bumped when the prefix configuration below changes; older prefixes get the
# new settings applied on the next run.
APPCENSUS_WINEPREFIX_REVISION=1

_appcensus_wlog() { printf '[wine-env] %s\n' "$*" >&2; }

# True when the X display $1 answers.
_appcensus_display_ok() {
  local d="$1"
  [[ -n "$d" ]] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo -display "$d" >/dev/null 2>&1
  else
    # Without x11-utils: a local display whose socket exists.
    local n="${d#:}"; n="${n%%.*}"
    [[ "$d" == :* && -S "/tmp/.X11-unix/X$n" ]]
  fi
}

_appcensus_start_xvfb() {
  local n pid i log
  command -v Xvfb >/dev/null 2>&1 || { _appcensus_wlog "Xvfb not found; run scripts/setup.sh"; return 1; }
  log="${APPCENSUS_WINE_LOGDIR:-/tmp}/appcensus-xvfb.$$.log"
  for ((n = 90; n < 190; n++)); do
    [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$log" 2>&1 &
    pid=$!
    for ((i = 0; i < 100; i++)); do
      if _appcensus_display_ok ":$n"; then
        APPCENSUS_XVFB_PID=$pid
        export DISPLAY=":$n"
        _appcensus_wlog "started Xvfb on DISPLAY=$DISPLAY (pid $pid)"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break   # lost the race for :$n, try the next
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  _appcensus_wlog "could not start Xvfb (last log: $log)"
  return 1
}

_appcensus_wine_env_start() {
  local repo_root
  repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)" || return 1

  if [[ ! -x "$APPCENSUS_WINE_LOADER" ]]; then
    _appcensus_wlog "64-bit Wine loader $APPCENSUS_WINE_LOADER not found; run scripts/setup.sh"
    return 1
  fi

  # --- display -------------------------------------------------------------
  if _appcensus_display_ok "${DISPLAY:-}"; then
    _appcensus_wlog "using DISPLAY=$DISPLAY"
  else
    [[ -n "${DISPLAY:-}" ]] && _appcensus_wlog "DISPLAY=$DISPLAY does not answer; starting Xvfb"
    _appcensus_start_xvfb || return 1
  fi

  # --- prefix --------------------------------------------------------------
  export WINEPREFIX="${APPCENSUS_WINEPREFIX:-$repo_root/build/wineprefix}"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINELOADER="$APPCENSUS_WINE_LOADER"
  export WINESERVER="$APPCENSUS_WINE_SERVER"
  # Keep Wine from writing desktop menu entries into $HOME.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d}"

  local stamp="$WINEPREFIX/.appcensus-prefix"
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    mkdir -p "$(dirname "$WINEPREFIX")" || return 1
    _appcensus_wlog "creating Wine prefix $WINEPREFIX (first time only)"
    local t0=$SECONDS
    # mscoree/mshtml disabled: no Mono/Gecko download dialogs.
    if ! WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
         timeout 600 "$WINELOADER" wineboot --init </dev/null >"$WINEPREFIX.boot.log" 2>&1; then
      _appcensus_wlog "wineboot --init failed (log: $WINEPREFIX.boot.log)"
      return 1
    fi
    timeout 300 "$WINESERVER" -w </dev/null || true
    _appcensus_wlog "Wine prefix ready after $((SECONDS - t0)) s"
  fi
  if [[ ! -f "$stamp" || "$(cat "$stamp" 2>/dev/null)" != "$APPCENSUS_WINEPREFIX_REVISION" ]]; then
    # A crash must end the process with an error code and a backtrace on the
    # console, not wait for a click on Wine's crash dialog.
    if ! "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
         </dev/null >/dev/null 2>&1; then
      _appcensus_wlog "could not configure the Wine prefix (reg add failed)"
      return 1
    fi
    timeout 120 "$WINESERVER" -w </dev/null || true
    printf '%s\n' "$APPCENSUS_WINEPREFIX_REVISION" > "$stamp"
  fi

  # --- persistent wineserver ------------------------------------------------
  # Exit code 0: started; 2: a server already runs for this prefix (keep
  # using it, and leave it alone on stop).
  local rc=0
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || rc=$?
  case "$rc" in
    0) APPCENSUS_WINESERVER_STARTED=1
       _appcensus_wlog "persistent wineserver started for $WINEPREFIX" ;;
    2) _appcensus_wlog "a wineserver already runs for $WINEPREFIX; using it" ;;
    *) _appcensus_wlog "wineserver -p failed (exit $rc)"; return 1 ;;
  esac
  # Warm-up: start Wine's service processes once, for all tests.
  if ! timeout 120 "$WINELOADER" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1; then
    _appcensus_wlog "warning: the Wine warm-up command failed"
  fi
  return 0
}

# Stops the wineserver and the Xvfb that this file started (nothing else).
appcensus_wine_env_stop() {
  if [[ "${APPCENSUS_WINESERVER_STARTED:-0}" == 1 ]]; then
    WINEPREFIX="${WINEPREFIX:-}" timeout 30 "$APPCENSUS_WINE_SERVER" -k </dev/null >/dev/null 2>&1 || true
    APPCENSUS_WINESERVER_STARTED=0
  fi
  if [[ -n "${APPCENSUS_XVFB_PID:-}" ]]; then
    kill "$APPCENSUS_XVFB_PID" 2>/dev/null || true
    wait "$APPCENSUS_XVFB_PID" 2>/dev/null || true
    APPCENSUS_XVFB_PID=""
  fi
  return 0
}

_appcensus_wine_env_start
