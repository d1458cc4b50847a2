#!/usr/bin/env bash
# The Qt-free core cross-built for Windows (MinGW-w64) and tested under Wine: the core's table
# tests, and the Win32 serial port against the Linux simulator mapped as a COM port. Skipped,
# not failed, where MinGW-w64 or Wine cannot be installed. BRISKO_SIM names the simulator
# (default: the one the CI build made; built here when missing).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$MIRELIGHT_ROOT/scripts/wine.sh"

if ! ensure_packages build-essential cmake ninja-build googletest g++-mingw-w64-x86-64-posix \
  wine wine64; then
  echo "Skipped: MinGW-w64 or Wine could not be installed"
  exit 0
fi

sim="${BRISKO_SIM:-$MIRELIGHT_ROOT/build/ci/tools/brisko-sim/brisko-sim}"
if [ ! -x "$sim" ]; then
  cmake -S "$MIRELIGHT_ROOT" -B "$MIRELIGHT_ROOT/build/sim" -G Ninja -DMIRELIGHT_BUILD_UI=OFF \
    -DMIRELIGHT_BUILD_TESTS=OFF -DMIRELIGHT_BUILD_BENCH=OFF
  cmake --build "$MIRELIGHT_ROOT/build/sim" --target brisko-sim --parallel "$(nproc)"
  sim="$MIRELIGHT_ROOT/build/sim/tools/brisko-sim/brisko-sim"
fi

(cd "$MIRELIGHT_ROOT" && cmake --preset mingw && cmake --build --preset mingw --parallel "$(nproc)")

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  # The simulator ends by itself once unplugged.
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

wine_start "$MIRELIGHT_ROOT/build/wine"

# The Win32 port's test expects these requests to be left unanswered and to unplug the device.
com=7
export XDG_CONFIG_HOME="$work/config"
"$sim" --com "$com" --no-answer +ZQRY --unplug +ZUNP >"$work/sim.log" 2>&1 &
sim_pid=$!
link="$XDG_CONFIG_HOME/Corvanthis Mirelight/ports/COM$com"
for _ in $(seq 100); do
  [ -L "$link" ] && break
  sleep 0.1
done
[ -L "$link" ] || { cat "$work/sim.log"; exit 1; }
wine_map_com "$com" "$link"

MIRELIGHT_TEST_COM="$com" ctest --test-dir "$MIRELIGHT_ROOT/build/mingw" --output-on-failure \
  --parallel "$(nproc)" || { cat "$work/sim.log"; exit 1; }
