#!/usr/bin/env bash
# Remakes res/windows/mirelight.ico, the icon of mirelight.exe, from the project's icon: the
# PNGs of res/ where there is one for a size, the SVG rendered for the others. The .ico is
# committed so that the build needs neither tool; run this after changing the icon.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages icoutils librsvg2-bin

res="$MIRELIGHT_ROOT/res"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The sizes Explorer and the taskbar ask for at 100 % to 250 % scaling, and the large view.
sizes=(16 20 24 32 40 48 64 256)
images=()
for size in "${sizes[@]}"; do
  png="$res/mirelight-$size.png"
  if [ ! -f "$png" ]; then
    png="$work/mirelight-$size.png"
    rsvg-convert -w "$size" -h "$size" -o "$png" "$res/mirelight.svg"
  fi
  # The 256 px image stays PNG-compressed, as Windows Vista and later read it.
  if [ "$size" -eq 256 ]; then images+=(--raw="$png"); else images+=("$png"); fi
done
icotool --create --output="$res/windows/mirelight.ico" "${images[@]}"
icotool --list "$res/windows/mirelight.ico"
