#!/usr/bin/env bash
# Static analysis of the program and the simulator: clang-tidy (.clang-tidy) and cppcheck.
# Fails on any finding.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" clang-tidy cppcheck

build="$MIRELIGHT_ROOT/build/analyse"
cmake -S "$MIRELIGHT_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DMIRELIGHT_BUILD_TESTS=OFF -DMIRELIGHT_BUILD_BENCH=OFF
cmake --build "$build" --target mirelight_ui_autogen # the moc output the sources rely on

echo "clang-tidy"
run-clang-tidy -quiet -p "$build" "$MIRELIGHT_ROOT/(src|tools)/"

echo "cppcheck"
cd "$MIRELIGHT_ROOT"
cppcheck --enable=warning,performance,portability,style --std=c++20 --library=qt \
  --inline-suppr --suppress=missingIncludeSystem --error-exitcode=1 --quiet \
  -I src -I tools/brisko-sim src tools
