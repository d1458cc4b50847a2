#!/usr/bin/env bash
# Builds the Debian package in build/package and checks it: the files a desktop needs are
# in it, its Depends was worked out from the binaries' shared libraries, and the desktop
# entries and the AppStream metainfo validate (offline). Exits non-zero on any problem.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file desktop-file-utils appstream

build="$MIRELIGHT_ROOT/build/package"
id="com.corvanthis.Mirelight"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DMIRELIGHT_BUILD_TESTS=OFF \
  -DMIRELIGHT_BUILD_BENCH=OFF -DMIRELIGHT_BUILD_UI=ON
rm -f "$build"/mirelight_*.deb
(cd "$build" && cpack -G DEB)

packages=("$build"/mirelight_*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] \
  || { echo "FAIL: expected one mirelight_*.deb in $build" >&2; exit 1; }
package="${packages[0]}"
echo "Checking $(basename "$package")"

problems=0
fail() {
  echo "FAIL: $*" >&2
  problems=$((problems + 1))
}

contents="$(dpkg-deb -c "$package" | awk '{ print $NF }' | sed 's|^\./|/|')"
expected=(
  /usr/bin/mirelight
  /usr/bin/brisko-sim
  "/usr/share/applications/$id.desktop"
  "/usr/share/metainfo/$id.metainfo.xml"
  "/usr/share/mirelight/$id-autostart.desktop"
  "/usr/share/icons/hicolor/scalable/apps/$id.svg"
  /usr/share/doc/mirelight/copyright
)
for size in 16 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done

[ "$(dpkg-deb -f "$package" Package)" = mirelight ] || fail "the package is not named mirelight"
depends="$(dpkg-deb -f "$package" Depends)"
echo "Depends: $depends"
# Filled by dpkg-shlibdeps: the C library and Qt's widgets library must be among them.
for library in libc6 libqt6widgets6; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" \
    || fail "Depends does not name $library (were shared-library dependencies resolved?)"
done

# Validate the files as the package holds them, not the sources they came from.
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$package" "$unpacked"
share="$unpacked/usr/share"
for entry in "$share/applications/$id.desktop" "$share/mirelight/$id-autostart.desktop"; do
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects $(basename "$entry")"
done
grep -qxF "Icon=$id" "$share/applications/$id.desktop" \
  || fail "the desktop entry's icon is not $id"
grep -qE '^X-GNOME-Autostart-Delay=[1-9][0-9]*$' "$share/mirelight/$id-autostart.desktop" \
  || fail "the autostart entry does not wait for the tray"
appstreamcli validate --no-net --strict "$share/metainfo/$id.metainfo.xml" \
  || fail "appstreamcli rejects the metainfo"

if [ "$problems" -ne 0 ]; then
  echo "$problems problem(s) with $(basename "$package")" >&2
  exit 1
fi
echo "The package $(basename "$package") is complete and valid."
