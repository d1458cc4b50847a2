#!/usr/bin/env bash
# Builds Mirelight and the simulated Brisko, starts the simulator and the panel connected
# to it. The simulator prints every request and every light change in this terminal.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build="$MIRELIGHT_ROOT/build/demo"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRELIGHT_BUILD_TESTS=OFF \
  -DMIRELIGHT_BUILD_BENCH=OFF

# The demo keeps its settings and port link in a folder of its own, so that it never
# changes the settings of a Mirelight you use with a real dongle.
export XDG_CONFIG_HOME="$build/demo-config"
folder="$XDG_CONFIG_HOME/Corvanthis Mirelight"
settings="$folder/mirelight.conf"
ports="$folder/ports"
mkdir -p "$ports"
find "$ports" -maxdepth 1 -xtype l -delete # links left by a simulator that was killed

com=1
while [ -e "$ports/COM$com" ] || [ -L "$ports/COM$com" ]; do com=$((com + 1)); done

"$build/tools/brisko-sim/brisko-sim" --com "$com" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null; wait "$simulator" 2>/dev/null' EXIT
for _ in $(seq 50); do
  [ -L "$ports/COM$com" ] && break
  kill -0 "$simulator" 2>/dev/null || { echo "The simulated Brisko did not start." >&2; exit 1; }
  sleep 0.1
done

# Point the demo's settings at the simulator's port.
if [ ! -f "$settings" ]; then
  printf '[Corvanthis%%20Mirelight]\nm_iComChan=%s\n' "$com" >"$settings"
elif grep -q '^m_iComChan=' "$settings"; then
  sed -i "s/^m_iComChan=.*/m_iComChan=$com/" "$settings"
else
  sed -i "s/^\[Corvanthis%20Mirelight\]\$/&\nm_iComChan=$com/" "$settings"
fi

echo "Mirelight is starting against the simulated Brisko on COM$com."
echo "Press its buttons; right-click the panel for Buttons, Connections (Join, Bind) and Exit."
"$build/src/mirelight"
