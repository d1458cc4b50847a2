#!/usr/bin/env bash
# Everything CI checks: the share of test code; the include layering; the formatting; the
# build with warnings as errors and every test; the tests again under the sanitizers; the core
# for Windows under Wine; static analysis; fuzzing; the Debian package.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The tray, Wayland and secret store tests bring up desktops of their own: a private session
# bus, Xvfb with IceWM's tray, a headless weston, gnome-keyring's Secret Service.
ensure_packages "${BUILD_PACKAGES[@]}" clang-format dbus-daemon xvfb icewm weston qt6-wayland \
  gnome-keyring openssl

echo "== Share of test code"
"$MIRELIGHT_ROOT/scripts/code-stats.sh"

echo "== Include layering"
"$MIRELIGHT_ROOT/scripts/check-includes.sh"

echo "== Formatting"
git -C "$MIRELIGHT_ROOT" ls-files -z '*.cpp' '*.h' \
  | (cd "$MIRELIGHT_ROOT" && xargs -0 clang-format --dry-run --Werror)

# build_and_test <build folder> [cmake options...]
build_and_test() {
  local folder="$1"
  shift
  configure_and_build "$folder" -DCMAKE_BUILD_TYPE=Debug -DMIRELIGHT_WERROR=ON "$@"
  ctest --test-dir "$folder" --output-on-failure --parallel "$(($(nproc) * 2))"
}

echo "== Build and tests"
build_and_test "$MIRELIGHT_ROOT/build/ci"

echo "== Address and undefined-behaviour sanitizers: everything"
ASAN_OPTIONS=detect_stack_use_after_return=1:check_initialization_order=1 \
UBSAN_OPTIONS=print_stacktrace=1 \
  build_and_test "$MIRELIGHT_ROOT/build/asan" "-DMIRELIGHT_SANITIZE=address;undefined" \
    -DMIRELIGHT_BUILD_BENCH=OFF

echo "== Thread sanitizer: the link, the dongle operations and the simulator"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build_and_test "$MIRELIGHT_ROOT/build/tsan" -DMIRELIGHT_SANITIZE=thread \
    -DMIRELIGHT_BUILD_UI=OFF -DMIRELIGHT_BUILD_BENCH=OFF

echo "== Windows: the core and the serial port under Wine"
"$MIRELIGHT_ROOT/scripts/windows-test.sh"

echo "== Windows: mirelight.exe under Wine"
"$MIRELIGHT_ROOT/scripts/windows-smoke.sh" "$MIRELIGHT_ROOT/build/ci"

echo "== Windows: the installer under Wine"
"$MIRELIGHT_ROOT/scripts/windows-msi.sh"

echo "== Static analysis"
"$MIRELIGHT_ROOT/scripts/analyse.sh"

echo "== Fuzzing"
"$MIRELIGHT_ROOT/scripts/fuzz.sh" 60

echo "== Debian package"
"$MIRELIGHT_ROOT/scripts/check-package.sh"
