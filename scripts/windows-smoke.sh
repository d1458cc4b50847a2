#!/usr/bin/env bash
# Builds mirelight.exe with the static Qt for Windows and runs it under Wine on a virtual X
# display against the Linux simulated Brisko: its resources read back, the panel shows with a
# fixed frame, connects and rejoins, a click switches a light, --status, --press and --show
# reach it through its pipe, the tray icon chosen from the keyboard brings it back where a
# single click does not, a second start leaves the first alone, the settings land in the
# registry with their types, Exit from the system menu and a session's end both end it, a
# cancelled end does not; on a Linux broker it is announced and switches a light by a press.
#   scripts/windows-smoke.sh <Linux build folder holding tools/brisko-sim>
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$MIRELIGHT_ROOT/scripts/wine.sh"
source "$MIRELIGHT_ROOT/scripts/windows-resources.sh"

linux_build="$(cd "${1:?usage: windows-smoke.sh <Linux build folder>}" && pwd)"
simulator="$linux_build/tools/brisko-sim/brisko-sim"
qt_archive="$MIRELIGHT_ROOT/../shared/qt6-mingw/qt6-mingw.tar.xz"
if [ ! -f "$qt_archive" ]; then
  echo "Skipped: no Qt for Windows at $qt_archive."
  exit 0
fi
[ -x "$simulator" ] || { echo "No simulator at $simulator." >&2; exit 1; }

ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev-tools wine wine64 \
  xvfb openbox xdotool mosquitto mosquitto-clients python3

# -- The executable
# unpack <archive> <folder name>: into build/, again whenever the archive is newer.
unpack() {
  local folder="$MIRELIGHT_ROOT/build/$2"
  if [ ! -d "$folder" ] || [ "$1" -nt "$folder" ]; then
    rm -rf "$folder"
    mkdir -p "$MIRELIGHT_ROOT/build"
    tar xJf "$1" -C "$MIRELIGHT_ROOT/build"
    touch "$folder"
  fi
}
unpack "$qt_archive" qt6-mingw
unpack "$MIRELIGHT_ROOT/../shared/mosquitto-mingw/mosquitto-mingw.tar.xz" mosquitto-mingw
(cd "$MIRELIGHT_ROOT" && cmake --preset mingw-qt >/dev/null)
cmake --build "$MIRELIGHT_ROOT/build/mingw-qt" --target mirelight --parallel "$(nproc)"
exe="$MIRELIGHT_ROOT/build/mingw-qt/src/mirelight.exe"
echo "mirelight.exe: $(($(stat -c %s "$exe") / 1024 / 1024)) MB"

# -- Helpers. Only the processes started here are ended, by their ids.
work="$(mktemp -d)"
prefix="$work/prefix"
started=()
cleanup() {
  local i
  wine_stop
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do # the X server last
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# The test's hands for what no X tool reaches: a window's frame style, the shell's and the
# session's messages.
probe="$work/window-probe.exe"
x86_64-w64-mingw32-g++-posix -O1 -static -o "$probe" "$MIRELIGHT_ROOT/tests/windows/WindowProbe.cpp"

fail() {
  echo "FAILED: $*" >&2
  for log in "$work"/*.log "$prefix/wineserver.log"; do
    [ -f "$log" ] && { echo "--- $(basename "$log")" >&2; tail -n 30 "$log" >&2; }
  done
  exit 1
}

# until <seconds> <what> <command...>: runs the command until it succeeds, or fails the test.
until_true() {
  local seconds="$1" what="$2"
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$what (after ${seconds} s)"
    sleep 0.2
  done
}

sim_logged() { grep -qxF -- "$1" "$work/sim.log"; }
process_gone() { ! kill -0 "$1" 2>/dev/null; }
# The ids of the visible X windows titled exactly so (xdotool's search ignores case).
windows_named() {
  local window
  for window in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowname "$window")" = "$1" ] && echo "$window"
  done
  return 0
}
window_shown() { [ -n "$(windows_named "$1")" ]; }
# Esc hides the panel, as there is a tray icon to bring it back.
hide_panel() {
  xdotool windowactivate --sync "$(windows_named Mirelight)" key Escape
  until_true 10 "Esc did not hide the panel" eval '! window_shown Mirelight'
}

# -- A desktop: Xvfb and a window manager whose keys leave Alt+Space to the program.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
started+=($!)
exec 3>&-
until_true 10 "Xvfb did not start" test -s "$work/display"
DISPLAY=":$(cat "$work/display")"
export DISPLAY
printf '%s\n' '<?xml version="1.0"?>' \
  '<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/><mouse/></openbox_config>' \
  >"$work/openbox.xml"
openbox --config-file "$work/openbox.xml" >"$work/openbox.log" 2>&1 &
started+=($!)

# -- The simulated Brisko on a pseudo-terminal, seen by Wine as COM3
export XDG_CONFIG_HOME="$work/config"
"$simulator" --com 3 >"$work/sim.log" 2>&1 &
started+=($!)
until_true 10 "the simulator did not start" grep -q '^Brisko on COM3: ' "$work/sim.log"
device="$(sed -n 's/^Brisko on COM3: .* -> //p' "$work/sim.log")"

echo "-- Wine prefix"
wine_start "$prefix"
wine_map_com 3 "$device"

echo "-- The icon, the version information, the manifest and the common controls 6"
check_windows_resources "$exe" "$work" || exit 1

# A crash ends the program at once, its report in the program's log, instead of a dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null

key='HKCU\Software\Corvanthis Mirelight\mirelight\Corvanthis Mirelight'
seed() { wine reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null; }
seed m_iComChan REG_DWORD 3
seed Joined REG_DWORD 1
seed 'Button 1' REG_SZ Porch
seed Effect1 REG_DWORD 1 # On

# -- A broker on Linux, which the program reaches as its users reach theirs.
broker_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf '%s\n' "listener $broker_port 127.0.0.1" 'allow_anonymous true' 'persistence false' \
  'user root' >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
started+=($!)
mqtt_key='HKCU\Software\Corvanthis Mirelight\mirelight\MQTT'
wine reg add "$mqtt_key" /v Enabled /t REG_DWORD /d 1 /f >/dev/null
wine reg add "$mqtt_key" /v Host /t REG_SZ /d 127.0.0.1 /f >/dev/null
wine reg add "$mqtt_key" /v Port /t REG_DWORD /d "$broker_port" /f >/dev/null
wine reg add "$mqtt_key" /v NodeId /t REG_SZ /d wine /f >/dev/null

start_mirelight() {
  # Through sh, which passes on how it ended as a status: bash would report a kill at the
  # session's end as if something had gone wrong.
  sh -c 'wine "$0" >>"$1" 2>&1; exit $?' "$exe" "$work/mirelight.log" &
  mirelight=$!
  started+=("$mirelight")
}

# command <expected exit status> <options...>: runs mirelight.exe with the options, its output
# in command.log.
command() {
  local expected="$1" status=0
  shift
  wine "$exe" "$@" >"$work/command.log" 2>&1 || status=$?
  [ "$status" -eq "$expected" ] || fail "$* ended with $status, not $expected"
}

echo "-- /? is --help; a command with no instance running says so"
command 0 '/?'
grep -q -- '--press <N>' "$work/command.log" || fail "/? printed no help"
command 3 --status
grep -q '^Mirelight is not running' "$work/command.log" || fail "--status did not say why"

echo "-- The panel appears, connects and rejoins"
start_mirelight
until_true 30 "no panel window" window_shown Mirelight
panel="$(windows_named Mirelight)"
until_true 20 "no rejoin after the connect sequence" \
  grep -q '^request +NJNR=01' "$work/sim.log"
mapfile -t requests < <(sed -n 's/^request //p' "$work/sim.log")
[ "${#requests[@]}" -eq 14 ] || fail "${#requests[@]} requests at start, not 14"
[ "${requests[0]}" = "+DVRR" ] || fail "the first request was ${requests[0]}"
[ "${requests[11]}" = "+DRSR" ] || fail "the 12th request was ${requests[11]}"
[ "$(wine "$probe" frame Mirelight | tr -d '\r')" = fixed ] || fail "the panel's frame is sizable"

echo "-- A click on button 1 switches light 1 on"
xdotool mousemove --window "$panel" 20 10 click 1
until_true 10 "no switch message for button 1" sim_logged 'light 1 on'
grep -q '^request +ADAR=.*FF$' "$work/sim.log" || fail "no On message for button 1"

echo "-- MQTT: announced on the broker, and a press from there switches light 3"
mqtt_sub() { mosquitto_sub -h 127.0.0.1 -p "$broker_port" -v -C 1 -W 20 -t "$1" 2>/dev/null; }
[ "$(mqtt_sub mirelight/wine/availability)" = "mirelight/wine/availability online" ] \
  || fail "not online on the broker"
mqtt_sub homeassistant/button/wine/button_1/config | grep -qF '"name":"Porch"' \
  || fail "button 1 not announced with its caption"
mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -t mirelight/wine/button/3/press -m PRESS
until_true 10 "no switch message for the MQTT press" sim_logged 'light 3 on'

echo "-- The commands reach the running instance through its pipe"
command 0 --status
grep -q '^port: open' "$work/command.log" || fail "--status did not report the open port"
command 0 --press 2 # Toggle, the default effect
until_true 10 "no switch message for --press 2" sim_logged 'light 2 on'
grep -q '^Message F0 sent for button 2' "$work/command.log" || fail "--press did not report"
hide_panel
command 0 --show
until_true 10 "--show did not bring the panel back" window_shown Mirelight

echo "-- The tray icon: a single click leaves the panel hidden, a keyboard select shows it"
hide_panel
# The events as the shell sends them to Qt's tray window (its callback message WM_APP + 101,
# the event in the low word): a click is a press, a release and NIN_SELECT.
tray_event() { wine "$probe" send QTrayIconMessageWindow 0x8065 0 "$1" || fail "no tray window"; }
tray_event 0x201
tray_event 0x202
tray_event 0x400
command 0 --status # all sent before has been handled
window_shown Mirelight && fail "a single click on the tray icon showed the panel"
tray_event 0x401 # NIN_KEYSELECT
until_true 10 "a keyboard select did not show the panel" window_shown Mirelight
panel="$(windows_named Mirelight)"

echo "-- A second start ends and leaves the first one running"
first="$mirelight"
start_mirelight
until_true 30 "no 'already running' message" window_shown mirelight
sent="$(grep -c '^request ' "$work/sim.log")"
xdotool windowactivate --sync "$(windows_named mirelight)" key Return
until_true 10 "the second start did not end" process_gone "$mirelight"
[ "$(grep -c '^request ' "$work/sim.log")" -eq "$sent" ] || fail "the second start sent requests"
[ "$(windows_named Mirelight | wc -l)" -eq 1 ] || fail "a second panel"
process_gone "$first" && fail "the first instance ended"
mirelight="$first"

# open_system_menu: Alt+Space on the panel, until Wine's menu (a nameless window) is up.
open_system_menu() {
  xdotool windowactivate --sync "$panel" key alt+space
  until_true 10 "no system menu" menu_open
}
menu_open() { [ "$(xdotool search --onlyvisible --class '^mirelight\.exe$' | wc -l)" -ge 2 ]; }

# Wine's menus ignore typed mnemonics: the entries are reached from the bottom, About last.
echo "-- The system menu's last entry is About"
open_system_menu
xdotool key Up Return
until_true 10 "no About box" window_shown 'About Mirelight'
xdotool windowactivate --sync "$(windows_named 'About Mirelight')" key Return
until_true 10 "the About box stayed" eval '! window_shown "About Mirelight"'

echo "-- Exit from the system menu ends it"
open_system_menu
xdotool key Up Up Up Up Return # About, Connections, Buttons, Exit
until_true 15 "Exit did not end it" process_gone "$mirelight"
status=0
wait "$mirelight" || status=$?
[ "$status" -eq 0 ] || fail "Exit ended it with status $status"

echo "-- The settings are in the registry, typed"
query_settings() { wine_reg_query "$work/registry.log" "$key" "$@"; }
query_settings || fail "no settings key"
expect_value() {
  grep -qE "^ +$1 +$2 +$3\$" "$work/registry.log" || fail "$1 is not $2 $3"
}
expect_value m_iComChan REG_DWORD 0x3
expect_value Joined REG_DWORD 0x1
expect_value Layout REG_DWORD 0x7
expect_value m_IsInvisibleAtStartup REG_DWORD 0x0
expect_value Effect1 REG_DWORD 0x1
expect_value Effect8 REG_DWORD 0x2
expect_value 'Button 1' REG_SZ Porch
expect_value 'Button 8' REG_SZ 'Button 8'
[ "$(grep -c ' REG_' "$work/registry.log")" -eq 20 ] || fail "not 20 values"

echo "-- A cancelled session end saves and leaves it running"
wine reg delete "$key" /v Layout /f >/dev/null
start_mirelight
until_true 30 "no panel window" window_shown Mirelight
session_message() { wine "$probe" send 'Mirelight session' "$1" "$2" 0 || fail "no session window"; }
session_message 0x11 0 # WM_QUERYENDSESSION
query_settings /v Layout || fail "no Layout saved when the session's end was announced"
session_message 0x16 0 # WM_ENDSESSION, false: another program cancelled it
command 0 --status
process_gone "$mirelight" && fail "a cancelled session end ended it"

echo "-- The session's end ends it the way Exit does"
wine reg delete "$key" /v Layout /f >/dev/null
# As Windows does, wineboot ends the process once it has answered WM_ENDSESSION: the settings
# must have been saved by then, on the way out that began at WM_QUERYENDSESSION.
wine wineboot --end-session >>"$work/wineboot.log" 2>&1 || true
until_true 15 "the session's end did not end it" process_gone "$mirelight"
wait "$mirelight" || true
query_settings /v Layout || fail "no Layout after the session end"
expect_value Layout REG_DWORD 0x7

echo "Windows smoke test passed."
