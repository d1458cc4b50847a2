#!/usr/bin/env bash
# Retakes the README's screenshots (docs/*.png): Mirelight runs on a virtual X display with a
# small window manager, against the simulated Brisko, with settings of its own, and is
# driven through its menu with the keyboard. Each window is cropped with its frame.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" xvfb icewm xdotool x11-utils imagemagick \
  fonts-dejavu-core

build="$MIRELIGHT_ROOT/build/demo"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRELIGHT_BUILD_TESTS=OFF \
  -DMIRELIGHT_BUILD_BENCH=OFF
docs="$MIRELIGHT_ROOT/docs"

# Everything the run writes stays in one temporary folder: never the user's own settings.
work="$(mktemp -d)"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
settings="$XDG_CONFIG_HOME/Corvanthis Mirelight/mirelight.conf"
com=1

pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "screenshots: $*" >&2
  exit 1
}

# wait_for <what> <seconds> <command...>: runs the command every 0.1 s until it succeeds.
wait_for() {
  local what="$1" tries=$(($2 * 10))
  shift 2
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "gave up waiting for $what"
    sleep 0.1
  done
}

start_display() {
  # Xvfb picks a free display and writes its number to the descriptor it is given.
  mkfifo "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  local number
  read -r -t 10 number <"$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$number"
  icewm >"$work/icewm.log" 2>&1 &
  pids+=($!)
  wait_for "the window manager" 10 window_manager_ready
}

window_manager_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

start_simulator() {
  "$build/tools/brisko-sim/brisko-sim" --com "$com" >"$work/brisko-sim.log" 2>&1 &
  pids+=($!)
  wait_for "the simulated Brisko" 5 test -L "$XDG_CONFIG_HOME/Corvanthis Mirelight/ports/COM$com"
}

# write_settings <layout>
write_settings() {
  local captions=(Kitchen Hall Porch Garden "Desk lamp" Reading "All off" "Night light")
  local effects=(2 2 1 1 2 2 0 1) i
  {
    echo '[Corvanthis%20Mirelight]'
    for i in "${!captions[@]}"; do
      echo "Button%20$((i + 1))=${captions[$i]}"
      echo "Effect$((i + 1))=${effects[$i]}"
    done
    echo "Joined=0"
    echo "Layout=$1"
    echo "m_IsInvisibleAtStartup=0"
    echo "m_iComChan=$com"
  } >"$settings"
}

# window_named <title>: prints the id of the visible window with exactly that title.
window_named() {
  local title="$1"
  xdotool search --sync --onlyvisible --name "^${title//./\\.}\$" | head -n 1
}

start_panel() {
  "$build/src/mirelight" >"$work/mirelight.log" 2>&1 &
  panel_pid=$!
  pids+=("$panel_pid")
  panel="$(timeout 15 bash -c "$(declare -f window_named); window_named Mirelight")" \
    || fail "the panel did not appear"
  # Connecting to the simulated Brisko takes a moment; let the panel settle and repaint.
  sleep 1.5
  xdotool windowactivate --sync "$panel"
}

# shoot <window id> <file>: the window with its frame.
shoot() {
  sleep 0.5
  import -window "$1" -frame "$docs/$2"
  echo "Saved docs/$2"
}

# menu <key>: opens the panel's menu and picks the entry with that accelerator.
menu() {
  xdotool windowactivate --sync "$panel"
  xdotool key shift+F10
  sleep 0.5
  xdotool key "$1"
}

dialog() {
  local title="$1" id
  id="$(timeout 10 bash -c "$(declare -f window_named); window_named '$title'")" \
    || fail "the $title dialog did not appear"
  xdotool windowactivate --sync "$id"
  echo "$id"
}

is_joined() { grep -qx 'Joined=1' "$settings"; }

exit_panel() {
  menu x
  wait_for "the panel to exit" 10 bash -c "! kill -0 $panel_pid 2>/dev/null"
}

mkdir -p "$(dirname "$settings")" "$docs"
start_display
start_simulator

write_settings 7
start_panel
shoot "$panel" panel.png

menu b
buttons="$(dialog Buttons...)"
shoot "$buttons" buttons.png
xdotool key Return # Close
wait_for "the Buttons dialog to close" 5 bash -c "! xdotool search --onlyvisible --name '^Buttons' >/dev/null"

menu c
connections="$(dialog Connections...)"
# The tab order starts with Close; Join comes next.
xdotool key Tab space
wait_for "the join to succeed" 15 is_joined
shoot "$connections" connections.png
xdotool key shift+Tab Return # back to Close
wait_for "the Connections dialog to close" 5 bash -c "! xdotool search --onlyvisible --name '^Connections' >/dev/null"
exit_panel

write_settings 4
start_panel
shoot "$panel" panel-1x3.png
exit_panel
