#!/usr/bin/env bash
# Builds Mirelight and starts it.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build="$MIRELIGHT_ROOT/build/demo"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRELIGHT_BUILD_TESTS=OFF
exec "$build/src/mirelight"
