#!/usr/bin/env bash
# Checks the formatting, builds Mirelight with warnings as errors and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" clang-format

echo "Checking the formatting"
git -C "$MIRELIGHT_ROOT" ls-files -z '*.cpp' '*.h' \
  | (cd "$MIRELIGHT_ROOT" && xargs -0 clang-format --dry-run --Werror)
build="$MIRELIGHT_ROOT/build/ci"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Debug -DMIRELIGHT_WERROR=ON
ctest --test-dir "$build" --output-on-failure --parallel "$(($(nproc) * 2))"
