# shellcheck shell=bash
# Reads the resources of mirelight.exe back: from the file the icon, the version information
# and the manifest, and under Wine that the manifest brings the common controls 6 at start.
# Source it, don't run it. The caller defines fail <message> and has started a Wine prefix
# (wine.sh's wine_start).
#   check_windows_resources <exe> <work folder>
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages icoutils binutils-mingw-w64-x86-64 libxml2-utils wine wine64

# check_windows_resources <exe> <work folder>: returns non-zero, after a fail for each
# problem, when something is missing or wrong.
check_windows_resources() {
  # A folder of its own: the caller's fail shows the logs of the work folder, and these are
  # summed up in the messages.
  local exe="$1" work="$2/resources" version
  mkdir -p "$work"
  _resources_problems=0
  version="$(sed -n 's/^project(Mirelight VERSION \([0-9.]*\) .*/\1/p' \
    "$MIRELIGHT_ROOT/CMakeLists.txt")"
  [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] \
    || _resources_problem "no four-part project version in CMakeLists.txt"

  # The icon group, reassembled into an .ico.
  local sizes
  # wrestool ends with 0 even when it finds nothing: an empty file tells.
  wrestool -x --type=group_icon --name=128 "$exe" >"$work/icon.ico" 2>"$work/wrestool.log"
  if [ -s "$work/icon.ico" ]; then
    sizes="$(icotool --list "$work/icon.ico" \
      | sed -n 's/.* --width=\([0-9]*\) --height=\([0-9]*\) .*/\1x\2/p' | sort -n | xargs)"
    [ "$sizes" = "16x16 20x20 24x24 32x32 40x40 48x48 64x64 256x256" ] \
      || _resources_problem "icon group 128 holds $sizes"
  else
    _resources_problem "no icon group 128"
  fi

  # The version information, as windres writes it back as a script.
  local info="$work/resources.rc" strings
  if x86_64-w64-mingw32-windres -i "$exe" -O rc -o "$info" 2>"$work/windres.log"; then
    grep -qx '1 VERSIONINFO' "$info" || _resources_problem "no version resource 1"
    grep -qE "^ *FILEVERSION ${version//./, }\$" "$info" \
      || _resources_problem "FILEVERSION is not $version"
    grep -qE "^ *PRODUCTVERSION ${version//./, }\$" "$info" \
      || _resources_problem "PRODUCTVERSION is not $version"
    grep -qE '^ *VALUE "Translation", 0x409, 1252$' "$info" \
      || _resources_problem "no translation 0x409, 1252"
    strings="$(sed -n '/^ *BLOCK "040904e4"$/,/^ *END$/s/^ *//p' "$info")"
    [ -n "$strings" ] || _resources_problem 'no string block "040904e4"'
    local -A values=([FileVersion]="$version" [ProductVersion]="$version" [ProductName]=Mirelight
      [OriginalFilename]=mirelight.exe)
    local name
    for name in "${!values[@]}"; do
      grep -qxF "VALUE \"$name\", \"${values[$name]}\"" <<<"$strings" \
        || _resources_problem "no $name \"${values[$name]}\" in the string block"
    done
  else
    _resources_problem "windres could not read it" "$(head -n 1 "$work/windres.log")"
  fi

  # The manifest. local-name() because each part of it has its own XML namespace.
  local manifest="$work/manifest.xml"
  wrestool -x --raw --type=24 --name=1 "$exe" >"$manifest" 2>>"$work/wrestool.log"
  : >"$work/xmllint.log"
  if [ -s "$manifest" ] && xmllint --noout "$manifest" 2>"$work/xmllint.log"; then
    _manifest_has "$manifest" "no dependency on the common controls 6.0.0.0" \
      "//*[local-name()='dependentAssembly']/*[local-name()='assemblyIdentity'][
         @name='Microsoft.Windows.Common-Controls' and @version='6.0.0.0'
         and @publicKeyToken='6595b64144ccf1df' and @processorArchitecture='*']"
    _manifest_has "$manifest" "not per-monitor DPI aware v2" \
      "//*[local-name()='dpiAwareness'
           and namespace-uri()='http://schemas.microsoft.com/SMI/2016/WindowsSettings'
           and normalize-space()='PerMonitorV2']"
    _manifest_has "$manifest" "Windows 10 and 11 not supported" \
      "//*[local-name()='supportedOS'][@Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']"
    _manifest_has "$manifest" "not asInvoker" \
      "//*[local-name()='requestedExecutionLevel'][@level='asInvoker' and @uiAccess='false']"
  else
    _resources_problem "no manifest 1 of well-formed XML" "$(head -n 1 "$work/xmllint.log")"
  fi

  # comctl32 is imported by the program itself, so Windows loads it at start with the
  # manifest's activation context: the side-by-side 6.0, not system32's 5.x.
  local status=0 loaded
  local sxs='[\\]winsxs[\\]+[^"\\]*common-controls_[0-9a-f]+_6\.0\.[^"\\]*[\\]+comctl32\.dll"$'
  WINEDEBUG=+loaddll wine "$exe" --version >"$work/loaddll.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || _resources_problem "--version ended with $status"
  loaded="$(grep -Eio 'Loaded L"[^"]*[\\]comctl32\.dll"' "$work/loaddll.log" || true)"
  if [ -z "$loaded" ]; then
    _resources_problem "no comctl32.dll loaded"
  elif grep -Eiv "$sxs" <<<"$loaded" >"$work/comctl32.log"; then
    _resources_problem "not the common controls 6" "$(head -n 1 "$work/comctl32.log")"
  fi

  [ "$_resources_problems" -eq 0 ]
}

# _resources_problem <problem> [<what a tool said>]
_resources_problem() {
  _resources_problems=$((_resources_problems + 1))
  fail "mirelight.exe: $1${2:+ ($2)}" || true
}

# _manifest_has <manifest> <problem> <XPath>: the problem unless the path selects something.
_manifest_has() {
  [ "$(xmllint --xpath "boolean($3)" "$1")" = true ] || _resources_problem "$2"
}
