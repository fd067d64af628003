#!/usr/bin/env bash
# Prepares a Debian 12 machine (as root) for building and testing:
#   - installs the Debian packages below (no recommends; never wine32, which
#     would make Wine pick a 32-bit loader this machine cannot run),
#   - builds the MinGW-w64 dependencies (scripts/build-mingw-deps.sh).
# Idempotent: when everything is in place it returns in well under a second.
set -euo pipefail

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

log() { printf '[setup] %s\n' "$*"; }
die() { printf '[setup] ERROR: %s\n' "$*" >&2; exit 1; }

PACKAGES=(
  # native toolchain and test libraries
  build-essential cmake ninja-build pkg-config dpkg-dev
  googletest libgtest-dev libgmock-dev nlohmann-json3-dev
  libpcre2-dev libpng-dev zlib1g-dev
  clang libclang-rt-14-dev
  # MinGW-w64 cross toolchains (posix threads) and target libraries
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  mingw-w64-x86-64-dev mingw-w64-i686-dev
  libz-mingw-w64-dev
  # running Windows executables: 64-bit Wine on a virtual X display
  wine wine64 libwine fonts-wine fonts-liberation
  xvfb xauth x11-utils xdotool imagemagick
  # Windows installer tooling
  msitools wixl
)

missing_packages() {
  local installed
  # One dpkg-query call; unknown packages print nothing (and an error we drop).
  installed="$(dpkg-query -W -f='${Package}\t${db:Status-Abbrev}\n' "${PACKAGES[@]}" 2>/dev/null \
               | awk -F'\t' '$2 ~ /^ii/ { print $1 }' || true)"
  local p
  for p in "${PACKAGES[@]}"; do
    grep -qxF "$p" <<<"$installed" || printf '%s\n' "$p"
  done
}

[[ "$(id -u)" == 0 ]] || die "run as root (it installs Debian packages)"
command -v dpkg-query >/dev/null || die "this script is for Debian (dpkg-query not found)"

mapfile -t MISSING < <(missing_packages)
if [[ ${#MISSING[@]} -gt 0 ]]; then
  log "installing ${#MISSING[@]} package(s): ${MISSING[*]}"
  export DEBIAN_FRONTEND=noninteractive
  log "apt-get update"
  apt-get update -qq </dev/null
  # "wine32-" keeps the 32-bit Wine out of this transaction (only named when
  # it is not installed: an existing one is left alone, see the warning below).
  NO_WINE32=(wine32-)
  if dpkg-query -W -f='${db:Status-Abbrev}' wine32 2>/dev/null | grep -q '^ii'; then NO_WINE32=(); fi
  apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 \
    "${MISSING[@]}" "${NO_WINE32[@]}" </dev/null >/tmp/appcensus-apt.log 2>&1 \
    || { tail -n 30 /tmp/appcensus-apt.log >&2; die "apt-get install failed (log: /tmp/appcensus-apt.log)"; }
  mapfile -t STILL < <(missing_packages)
  [[ ${#STILL[@]} -eq 0 ]] || die "still missing after install: ${STILL[*]}"
  log "packages installed"
else
  log "all ${#PACKAGES[@]} Debian packages present"
fi

if dpkg-query -W -f='${db:Status-Abbrev}' wine32 2>/dev/null | grep -q '^ii'; then
  log "warning: wine32 is installed; Debian's 'wine' script would pick the 32-bit loader." \
      "The project calls /usr/lib/wine/wine64 directly, so it still works."
fi
[[ -x /usr/lib/wine/wine64 ]] || die "/usr/lib/wine/wine64 is missing (package wine64)"

bash "$REPO_ROOT/scripts/build-mingw-deps.sh"
log "done"
