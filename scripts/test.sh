#!/usr/bin/env bash
# Builds Mirelight with warnings as errors and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build="$MIRELIGHT_ROOT/build/ci"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Debug -DMIRELIGHT_WERROR=ON
ctest --test-dir "$build" --output-on-failure --parallel "$(($(nproc) * 2))"
