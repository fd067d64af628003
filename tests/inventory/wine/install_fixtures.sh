#!/bin/sh
# Puts the Wine inventory test's uninstall entries into the Wine prefix of the ctest run
# (install), or takes them out again (remove).
#
#   install_fixtures.sh install|remove <wine64 loader> <default prefix> <fixture dir> <work dir>
#
# install: builds the MSI packages with wixl (delta as a 32-bit one), installs each with
# Wine's msiexec (after removing an earlier installation of it), and imports the .reg
# fixture with regedit (@USERSID@ stands for the prefix's user).
# WINEPREFIX comes from the environment; the default prefix serves when it is unset.
set -eu

mode=$1 loader=$2 default_prefix=$3 fixtures=$4 work=$5
WINEPREFIX=${WINEPREFIX:-$default_prefix}
WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX WINEDEBUG

fail() { echo "install_fixtures: $*" >&2; exit 1; }
[ -x "$loader" ] || fail "Wine loader $loader not found"
[ -f "$WINEPREFIX/system.reg" ] || fail "no Wine prefix at $WINEPREFIX (source scripts/wine-env.sh first)"
command -v wixl >/dev/null 2>&1 || fail "wixl not found (package wixl)"
command -v iconv >/dev/null 2>&1 || fail "iconv not found"

mkdir -p "$work"
cd "$work"

# The security identifier of the prefix's user, the one subkey of HKEY_USERS of an account.
user_sid() {
  "$loader" reg query HKEY_USERS </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^HKEY_USERS\\\(S-1-5-21-[0-9-]*\)$/\1/p' | head -n 1
}

# A .reg file for regedit: UTF-16LE with a byte-order mark, CR LF line ends.
to_reg() {
  sid=$(user_sid)
  [ -n "$sid" ] || fail "no user account below HKEY_USERS"
  long255=$(printf '%0255d' 0 | tr 0 L)
  long254=$(printf '%0254d' 0 | tr 0 l)
  longkey=AppcensusFixture.L$(printf '%0237d' 0 | tr 0 k)
  {
    printf '\377\376'
    sed -e "s/@USERSID@/$sid/g" -e "s/@LONG255@/$long255/g" -e "s/@LONG254@/$long254/g" -e "s/@LONGKEY@/$longkey/g" -e 's/$/\r/' "$1" |
      iconv -f UTF-8 -t UTF-16LE
  } > "$2"
}

packages="alpha beta gamma delta"
# Delta is a 32-bit package (its entry goes to WOW6432Node); the others are 64-bit.
arch() { [ "$1" = delta ] && echo x86 || echo x64; }

case "$mode" in
  install)
    echo "Appcensus fixture file" > readme.txt
    for p in $packages; do
      wixl -a "$(arch "$p")" -o "fixture_$p.msi" "$fixtures/fixture_$p.wxs" 2>wixl_$p.log || { cat wixl_$p.log >&2; fail "wixl failed for $p"; }
      "$loader" msiexec /x "fixture_$p.msi" /qn </dev/null >/dev/null 2>&1 || true
      "$loader" msiexec /i "fixture_$p.msi" /qn </dev/null || fail "msiexec /i fixture_$p.msi failed ($?)"
    done
    to_reg "$fixtures/remove_entries.reg.in" remove_entries.reg
    "$loader" regedit /S remove_entries.reg </dev/null || fail "regedit could not remove old entries"
    to_reg "$fixtures/uninstall_entries.reg.in" uninstall_entries.reg
    "$loader" regedit /S uninstall_entries.reg </dev/null || fail "regedit could not import the fixture"
    ;;
  remove)
    for p in $packages; do
      if [ -f "fixture_$p.msi" ]; then
        "$loader" msiexec /x "fixture_$p.msi" /qn </dev/null >/dev/null 2>&1 || true
      fi
    done
    to_reg "$fixtures/remove_entries.reg.in" remove_entries.reg
    "$loader" regedit /S remove_entries.reg </dev/null || fail "regedit could not remove the fixture"
    ;;
  *)
    fail "unknown mode $mode"
    ;;
esac
echo "install_fixtures: $mode done in $WINEPREFIX"
