#!/usr/bin/env bash
# Builds the per-user Windows installer from mirelight.exe with wixl (msitools): the program
# stripped, LICENSE.txt, THIRD-PARTY-NOTICES.txt and the program's icon.
#   scripts/build-msi.sh <mirelight.exe> <version a.b.c.d> <output .msi>
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

exe="$(realpath "${1:?usage: build-msi.sh <mirelight.exe> <version> <output.msi>}")"
version="${2:?no version}"
output="$(realpath -m "${3:?no output file}")"
windows="$MIRELIGHT_ROOT/packaging/windows"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

# wixl finds the files relative to its working folder.
if command -v x86_64-w64-mingw32-strip >/dev/null; then
  x86_64-w64-mingw32-strip -o "$stage/mirelight.exe" "$exe"
else
  cp "$exe" "$stage/mirelight.exe"
fi
cp "$MIRELIGHT_ROOT/LICENSE" "$stage/LICENSE.txt"
cp "$windows/THIRD-PARTY-NOTICES.txt" "$stage/"
cp "$MIRELIGHT_ROOT/res/windows/mirelight.ico" "$stage/" # the program's own, all sizes
(cd "$stage" && wixl -a x64 -D Version="$version" -D Exe=mirelight.exe -D License=LICENSE.txt \
  -D Notices=THIRD-PARTY-NOTICES.txt -D Icon=mirelight.ico -o "$output" "$windows/mirelight.wxs")
