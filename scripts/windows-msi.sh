#!/usr/bin/env bash
# The Windows installer under Wine: built from mirelight.exe as this version and as a newer
# one, it installs per user with the Start menu entry and the uninstall entry, starts Mirelight
# at sign-in only when asked, lets the newer version replace the older, and uninstalls all it
# installed while the user's settings stay.
#   scripts/windows-msi.sh [mirelight.exe]   (default: the one windows-smoke.sh builds)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$MIRELIGHT_ROOT/scripts/wine.sh"

exe="${1:-$MIRELIGHT_ROOT/build/mingw-qt/src/mirelight.exe}"
if [ ! -f "$exe" ]; then
  echo "Skipped: no mirelight.exe at $exe."
  exit 0
fi

ensure_packages wixl binutils-mingw-w64-x86-64 wine wine64

work="$(mktemp -d)"
cleanup() {
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  [ -f "$work/msiexec.log" ] && { echo "--- msiexec.log" >&2; tail -n 30 "$work/msiexec.log" >&2; }
  exit 1
}

# The project's version, and a newer one for the upgrade: Windows Installer compares the
# first three fields only, so the newer one differs in the third.
version="$(sed -n 's/^project(Mirelight VERSION \([0-9.]*\) .*/\1/p' "$MIRELIGHT_ROOT/CMakeLists.txt")"
IFS=. read -r major minor patch _ <<<"$version"
newer="$major.$minor.$((patch + 1)).0"

echo "-- The installers, $version and $newer"
"$MIRELIGHT_ROOT/scripts/build-msi.sh" "$exe" "$version" "$work/old.msi"
"$MIRELIGHT_ROOT/scripts/build-msi.sh" "$exe" "$newer" "$work/new.msi"

echo "-- Wine prefix"
wine_start "$work/prefix"

# msiexec <options...>: Windows Installer's own client, quietly, its log in msiexec.log.
msiexec() {
  wine msiexec "$@" /qn /l*v "$(winepath -w "$work/msiexec.log")" >/dev/null 2>&1 \
    || fail "msiexec $* failed"
}
# The folder behind a Windows environment variable.
folder_of() { winepath -u "$(wine cmd /c echo "%$1%" | tr -d '\r')"; }

settings='HKCU\Software\Corvanthis Mirelight\mirelight\Corvanthis Mirelight'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
# Wine keeps a per-user product's uninstall entry under HKLM; Windows shows it in Settings >
# Apps from the per-user registration. Its icon is the product's registration's ProductIcon.
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
products_key='HKCU\Software\Microsoft\Installer\Products'

wine reg add "$settings" /v 'Button 1' /t REG_SZ /d Porch /f >/dev/null

installed="$(folder_of LOCALAPPDATA)/Programs/Mirelight"
shortcut="$(folder_of APPDATA)/Microsoft/Windows/Start Menu/Programs/Mirelight.lnk"
# query <key> [reg options...]: the key's values in query.log, one a line.
query() { wine_reg_query "$work/query.log" "$@"; }
# missing <key> [reg options...]: reg answered that it finds no such key or value.
missing() {
  local status=0
  query "$@" || status=$?
  [ "$status" -eq 1 ] && grep -q 'Unable to find' "$work/query.log"
}
# The uninstall entries named Mirelight, their keys and versions in entries.log.
entries() {
  query "$uninstall_key" /s
  awk '/^HKEY_/ { key = $0 } / DisplayName +REG_SZ +Mirelight$/ { print key }' \
    "$work/query.log" >"$work/entries.log"
  [ -s "$work/entries.log" ] || return 0
  while read -r key; do
    query "$key" /v DisplayVersion && sed -n 's/^ *DisplayVersion *REG_SZ *//p' "$work/query.log"
  done <"$work/entries.log" >"$work/versions.log"
}
expect_entry() {
  entries
  [ "$(wc -l <"$work/entries.log")" -eq 1 ] || fail "$(wc -l <"$work/entries.log") entries, not 1"
  [ "$(cat "$work/versions.log")" = "$1" ] || fail "the entry's version is $(cat "$work/versions.log")"
}
expect_files() {
  local file
  for file in mirelight.exe LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    [ -f "$installed/$file" ] || fail "no $file in $installed"
  done
  cmp -s "$MIRELIGHT_ROOT/packaging/windows/THIRD-PARTY-NOTICES.txt" \
    "$installed/THIRD-PARTY-NOTICES.txt" || fail "not the repository's notices"
  [ -f "$shortcut" ] || fail "no Start menu entry"
  # The shortcut names the installed program.
  grep -qa 'mirelight.exe' "$shortcut" || fail "the Start menu entry does not start mirelight.exe"
}
expect_autostart() {
  query "$run_key" /v Mirelight || fail "no Run value"
  local expected
  expected="\"$(winepath -w "$installed/mirelight.exe")\""
  grep -qxF "    Mirelight    REG_SZ    $expected" "$work/query.log" \
    || fail "the Run value is not $expected: $(grep Mirelight "$work/query.log")"
}

echo "-- Installed per user, no start at sign-in unless asked"
msiexec /i "$(winepath -w "$work/old.msi")"
expect_files
expect_entry "$version"
query "$products_key" /s
icon="$(sed -n 's/^ *ProductIcon *REG_SZ *//p' "$work/query.log")"
[ -n "$icon" ] || fail "no ProductIcon"
[ -s "$(winepath -u "$icon")" ] || fail "no icon at $icon"
missing "$run_key" /v Mirelight || fail "a Run value without AUTOSTART=1"

echo "-- The newer version replaces it, here with the start at sign-in"
msiexec /i "$(winepath -w "$work/new.msi")" AUTOSTART=1
expect_files
expect_entry "$newer"
expect_autostart

echo "-- Uninstalled: the program, its entries and the Run value go, the settings stay"
product="$(sed 's/.*\\//' "$work/entries.log")"
msiexec /x "$product"
[ -e "$installed" ] && fail "$installed is still there"
[ -e "$shortcut" ] && fail "the Start menu entry is still there"
entries
[ -s "$work/entries.log" ] && fail "an uninstall entry is still there"
missing "$run_key" /v Mirelight || fail "the Run value is still there"
query "$settings" /v 'Button 1' || fail "the settings are gone"
grep -qE '^ +Button 1 +REG_SZ +Porch$' "$work/query.log" || fail "the settings changed"

echo "Windows installer test passed."
