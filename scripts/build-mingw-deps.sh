#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows builds, for both
# MinGW-w64 targets (x86_64-w64-mingw32 and i686-w64-mingw32):
#   - PCRE2 (8-bit, Unicode, static, no JIT)   from Debian's source package
#   - libpng (static, against libz-mingw-w64)   from Debian's source package
#   - GoogleTest + GoogleMock (static)          from /usr/src/googletest
# into ${APPCENSUS_CACHE:-$HOME/.cache/appcensus}/deps/<triplet>.
#
# Idempotent: each target+component leaves a stamp file; when all stamps are
# present the script returns at once without touching apt.
#
# Environment:
#   APPCENSUS_CACHE         cache folder (default $HOME/.cache/appcensus)
#   APPCENSUS_DEPS_TARGETS  triplets to build (default: both)
#   APPCENSUS_DEPS_FORCE=1  ignore stamps and rebuild everything
#   APPCENSUS_JOBS          parallel build jobs (default 2)
set -euo pipefail

# Preferred source versions (Debian 12). When the archive does not serve
# them, the newest version that it does serve and that downloads is used.
# (The security pool lists newer revisions whose source files the mirror
# answers with 404; the fallback loop skips those.)
PCRE2_PREFERRED_VERSION="10.42-1"
LIBPNG_PREFERRED_VERSION="1.6.39-2+deb12u5"
# Bump to force a rebuild of every component after a change of build options.
RECIPE_REVISION="1"
# What a stamp must record to count: a change of recipe or of a preferred
# version rebuilds everything.
RECIPE_ID="$RECIPE_REVISION pcre2=$PCRE2_PREFERRED_VERSION libpng=$LIBPNG_PREFERRED_VERSION"

log() { printf '[deps] %s\n' "$*"; }
die() { printf '[deps] ERROR: %s\n' "$*" >&2; exit 1; }

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CACHE="${APPCENSUS_CACHE:-${HOME:-/root}/.cache/appcensus}"
TARGETS="${APPCENSUS_DEPS_TARGETS:-x86_64-w64-mingw32 i686-w64-mingw32}"
JOBS="${APPCENSUS_JOBS:-2}"
COMPONENTS="zlibcheck pcre2 libpng googletest"
STAMPS="$CACHE/stamps"
SRC_ROOT="$CACHE/src"
BUILD_ROOT="$CACHE/build"

stamp_file() { printf '%s/%s.%s.stamp' "$STAMPS" "$1" "$2"; }

# A stamp written by another recipe (see RECIPE_ID) does not count.
stamp_ok() {
  local f
  f="$(stamp_file "$1" "$2")"
  [[ -f "$f" ]] && grep -qxF "recipe=$RECIPE_ID" "$f"
}

all_done() {
  local t c
  [[ "${APPCENSUS_DEPS_FORCE:-0}" == 1 ]] && return 1
  for t in $TARGETS; do
    for c in $COMPONENTS; do
      stamp_ok "$t" "$c" || return 1
    done
  done
  return 0
}

if all_done; then
  log "all MinGW dependencies up to date in $CACHE/deps"
  exit 0
fi

mkdir -p "$STAMPS" "$SRC_ROOT" "$BUILD_ROOT"

# ---------------------------------------------------------------------------
# Debian source packages
# ---------------------------------------------------------------------------
SRC_LIST=/etc/apt/sources.list.d/appcensus-src.sources

# Writes a deb-src copy of the machine's own Debian apt sources, so that the
# repository itself never names an archive host.
ensure_deb_src() {
  local tmp
  tmp="$(mktemp)"
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    # deb822: keep every stanza whose Types include "deb", as "deb-src".
    awk '
      BEGIN { RS=""; ORS="\n\n" }
      {
        n = split($0, lines, "\n"); keep = 0; out = ""
        for (i = 1; i <= n; i++) {
          line = lines[i]
          if (line ~ /^Types:/) {
            if (line ~ /(^Types:|[ \t])deb([ \t]|$)/) keep = 1
            line = "Types: deb-src"
          }
          out = out line "\n"
        }
        if (keep) { sub(/\n$/, "", out); print out }
      }' /etc/apt/sources.list.d/debian.sources > "$tmp"
  elif [[ -f /etc/apt/sources.list ]]; then
    # One-line format: turn "deb ..." lines into "deb-src ..." lines.
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$tmp"
    SRC_LIST=/etc/apt/sources.list.d/appcensus-src.list
  fi
  if [[ ! -s "$tmp" ]]; then
    rm -f "$tmp"
    die "found no Debian apt source (deb822 debian.sources or sources.list) to derive deb-src entries from"
  fi
  if [[ -f "$SRC_LIST" ]] && cmp -s "$tmp" "$SRC_LIST"; then
    rm -f "$tmp"
    return 1   # unchanged
  fi
  install -m 0644 "$tmp" "$SRC_LIST"
  rm -f "$tmp"
  log "wrote $SRC_LIST (deb-src entries derived from the machine's apt sources)"
  return 0     # changed
}

APT_UPDATED=0
apt_update_once() {
  if [[ "$APT_UPDATED" == 0 ]]; then
    log "apt-get update (source indices)"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    APT_UPDATED=1
  fi
}

# Versions of a source package that the archive serves (unordered).
served_versions() {
  apt-cache showsrc "$1" 2>/dev/null \
    | awk -v p="$1" '/^Package:/ { cur = $2 } /^Version:/ && cur == p { print $2 }' \
    | sort -u
}

# Debian versions sort with dpkg's rules; print them newest first.
sort_debian_versions_desc() {
  local vs=() v i j tmp
  while read -r v; do [[ -n "$v" ]] && vs+=("$v"); done
  for ((i = 0; i < ${#vs[@]}; i++)); do
    for ((j = i + 1; j < ${#vs[@]}; j++)); do
      if dpkg --compare-versions "${vs[j]}" gt "${vs[i]}"; then
        tmp="${vs[i]}"; vs[i]="${vs[j]}"; vs[j]="$tmp"
      fi
    done
  done
  if [[ ${#vs[@]} -gt 0 ]]; then printf '%s\n' "${vs[@]}"; fi
}

# fetch_source <source-package> <preferred-version>
# Sets FETCHED_DIR to the unpacked source tree and FETCHED_VERSION to its
# version. Sources are kept in the cache and shared by both targets.
FETCHED_DIR=""
FETCHED_VERSION=""
fetch_source() {
  local pkg="$1" preferred="$2" versions v dl
  dl="$SRC_ROOT/$pkg"
  mkdir -p "$dl"

  # Unpacked by an earlier run, for the same preferred version?
  if [[ -f "$dl/.unpacked" && -f "$dl/.preferred" ]] \
     && [[ "$(cat "$dl/.preferred")" == "$preferred" ]] \
     && [[ -d "$(cat "$dl/.unpacked")" ]]; then
    FETCHED_DIR="$(cat "$dl/.unpacked")"
    FETCHED_VERSION="$(cat "$dl/.version")"
    return 0
  fi

  if ensure_deb_src; then apt_update_once; fi
  versions="$(served_versions "$pkg" | sort_debian_versions_desc)"
  if [[ -z "$versions" ]]; then
    apt_update_once
    versions="$(served_versions "$pkg" | sort_debian_versions_desc)"
  fi
  [[ -n "$versions" ]] || die "the archive serves no source package '$pkg' (is $SRC_LIST usable?)"
  log "$pkg versions served: $(tr '\n' ' ' <<<"$versions")"

  # Preferred version first, then every served version, newest first.
  local candidates=()
  if grep -qxF "$preferred" <<<"$versions"; then candidates+=("$preferred"); fi
  while read -r v; do
    if [[ "$v" != "$preferred" ]]; then candidates+=("$v"); fi
  done <<<"$versions"

  local got=""
  for v in "${candidates[@]}"; do
    log "downloading source $pkg=$v"
    rm -rf "$dl/download"
    mkdir -p "$dl/download"
    # apt's unprivileged download user must be able to write there.
    chmod 0777 "$dl/download"
    if (cd "$dl/download" && apt-get source --download-only -qq "$pkg=$v") >"$dl/download-$v.log" 2>&1; then
      got="$v"
      break
    fi
    log "  $pkg=$v could not be downloaded ($(grep -m1 -o '[0-9][0-9][0-9] *Not Found\|E: .*' "$dl/download-$v.log" || echo 'see log')), trying the next version"
  done
  [[ -n "$got" ]] || die "no version of '$pkg' could be downloaded (see $dl/download-*.log)"
  [[ "$got" == "$preferred" ]] || log "note: using $pkg=$got instead of the preferred $preferred"

  local dsc dir dscs
  dscs=("$dl"/download/*.dsc)
  dsc="${dscs[0]}"
  [[ -f "$dsc" ]] || die "no .dsc file was downloaded for $pkg=$got"
  dir="$dl/$pkg-$got"
  rm -rf "$dir"
  log "unpacking $(basename "$dsc")"
  # apt already checked the files against the signed archive index.
  dpkg-source --no-check -x "$dsc" "$dir" >"$dl/unpack.log" 2>&1 \
    || die "dpkg-source failed, see $dl/unpack.log"
  printf '%s\n' "$dir" > "$dl/.unpacked"
  printf '%s\n' "$got" > "$dl/.version"
  printf '%s\n' "$preferred" > "$dl/.preferred"
  FETCHED_DIR="$dir"
  FETCHED_VERSION="$got"
}

# ---------------------------------------------------------------------------
# Builds
# ---------------------------------------------------------------------------
toolchain_for() {
  case "$1" in
    x86_64-w64-mingw32) echo "$REPO_ROOT/cmake/toolchains/mingw64.cmake" ;;
    i686-w64-mingw32)   echo "$REPO_ROOT/cmake/toolchains/mingw32.cmake" ;;
    *) die "unknown target $1" ;;
  esac
}

# cmake_build <target> <component> <source-dir> [cmake args...]
cmake_build() {
  local target="$1" comp="$2" src="$3"; shift 3
  local prefix="$CACHE/deps/$target" bdir="$BUILD_ROOT/$target/$comp"
  local logf="$BUILD_ROOT/$target/$comp.log"
  rm -rf "$bdir"
  mkdir -p "$bdir" "$prefix"
  log "building $comp for $target (log: $logf)"
  if ! {
      cmake -S "$src" -B "$bdir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$(toolchain_for "$target")" \
        -DAPPCENSUS_DEPS_PREFIX="$prefix" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_POSITION_INDEPENDENT_CODE=OFF \
        -DBUILD_SHARED_LIBS=OFF \
        "$@" \
      && cmake --build "$bdir" -j "$JOBS" \
      && cmake --install "$bdir"
    } >"$logf" 2>&1; then
    tail -n 40 "$logf" >&2
    die "building $comp for $target failed (full log: $logf)"
  fi
}

write_stamp() {
  local target="$1" comp="$2" version="$3"
  printf 'recipe=%s\nversion=%s\nbuilt=%s\n' "$RECIPE_ID" "$version" "$(date -u +%FT%TZ)" \
    > "$(stamp_file "$target" "$comp")"
}

check_zlib() {
  local target="$1"
  stamp_ok "$target" zlibcheck && return 0
  [[ -f "/usr/$target/lib/libz.a" && -f "/usr/$target/include/zlib.h" ]] \
    || die "static zlib for $target is missing (/usr/$target/lib/libz.a); run scripts/setup.sh (package libz-mingw-w64-dev)"
  write_stamp "$target" zlibcheck "$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null || echo unknown)"
}

build_pcre2() {
  local target="$1"
  stamp_ok "$target" pcre2 && return 0
  fetch_source pcre2 "$PCRE2_PREFERRED_VERSION"
  cmake_build "$target" pcre2 "$FETCHED_DIR" \
    -DBUILD_STATIC_LIBS=ON \
    -DPCRE2_BUILD_PCRE2_8=ON \
    -DPCRE2_BUILD_PCRE2_16=OFF \
    -DPCRE2_BUILD_PCRE2_32=OFF \
    -DPCRE2_SUPPORT_UNICODE=ON \
    -DPCRE2_SUPPORT_JIT=OFF \
    -DPCRE2_BUILD_PCRE2GREP=OFF \
    -DPCRE2_BUILD_TESTS=OFF \
    -DPCRE2_SUPPORT_LIBBZ2=OFF \
    -DPCRE2_SUPPORT_LIBZ=OFF \
    -DPCRE2_SUPPORT_LIBEDIT=OFF \
    -DPCRE2_SUPPORT_LIBREADLINE=OFF
  [[ -f "$CACHE/deps/$target/include/pcre2.h" ]] || die "pcre2.h was not installed for $target"
  ls "$CACHE/deps/$target"/lib/libpcre2-8*.a >/dev/null 2>&1 || die "libpcre2-8 was not installed for $target"
  write_stamp "$target" pcre2 "$FETCHED_VERSION"
}

build_libpng() {
  local target="$1"
  stamp_ok "$target" libpng && return 0
  fetch_source libpng1.6 "$LIBPNG_PREFERRED_VERSION"
  cmake_build "$target" libpng "$FETCHED_DIR" \
    -DPNG_SHARED=OFF \
    -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF \
    -DPNG_FRAMEWORK=OFF \
    -DSKIP_INSTALL_PROGRAMS=ON \
    -DSKIP_INSTALL_FILES=ON \
    -DZLIB_INCLUDE_DIR="/usr/$target/include" \
    -DZLIB_LIBRARY="/usr/$target/lib/libz.a"
  [[ -f "$CACHE/deps/$target/include/png.h" ]] || die "png.h was not installed for $target"
  ls "$CACHE/deps/$target"/lib/libpng16*.a >/dev/null 2>&1 || die "libpng16 was not installed for $target"
  write_stamp "$target" libpng "$FETCHED_VERSION"
}

build_googletest() {
  local target="$1" src=/usr/src/googletest
  stamp_ok "$target" googletest && return 0
  [[ -f "$src/CMakeLists.txt" ]] || die "$src is missing; run scripts/setup.sh (package googletest)"
  cmake_build "$target" googletest "$src" \
    -DBUILD_GMOCK=ON \
    -DINSTALL_GTEST=ON \
    -Dgtest_disable_pthreads=OFF \
    -Dgtest_force_shared_crt=OFF \
    -Dgtest_build_tests=OFF \
    -Dgtest_build_samples=OFF
  [[ -f "$CACHE/deps/$target/lib/cmake/GTest/GTestConfig.cmake" ]] || die "GTestConfig.cmake was not installed for $target"
  write_stamp "$target" googletest "$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)"
}

command -v cmake >/dev/null || die "cmake not found; run scripts/setup.sh"
command -v ninja >/dev/null || die "ninja not found; run scripts/setup.sh"
command -v dpkg-source >/dev/null || die "dpkg-source not found; run scripts/setup.sh (package dpkg-dev)"

for target in $TARGETS; do
  command -v "$target-g++-posix" >/dev/null || die "$target-g++-posix not found; run scripts/setup.sh"
  if [[ "${APPCENSUS_DEPS_FORCE:-0}" == 1 ]]; then
    rm -f "$STAMPS/$target".*.stamp
  fi
  check_zlib "$target"
  build_pcre2 "$target"
  build_libpng "$target"
  build_googletest "$target"
done

for target in $TARGETS; do
  log "$target: pcre2 $(sed -n 's/^version=//p' "$(stamp_file "$target" pcre2)"), libpng $(sed -n 's/^version=//p' "$(stamp_file "$target" libpng)"), googletest $(sed -n 's/^version=//p' "$(stamp_file "$target" googletest)")"
done
log "MinGW dependencies ready in $CACHE/deps"
