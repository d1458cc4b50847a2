# shellcheck shell=bash
# Runs Windows programs under Wine in a private prefix: source it, don't run it.
#   wine_start <prefix>        a prefix of our own, booted, its server kept running
#   wine_map_com <n> <path>    COMn is the device (or pseudo-terminal link) at path
#   wine_stop                  ends the server and with it every program of the prefix
#   wine_reg_query <file> <reg query arguments...>
#                              reg's answer in file; status 0 found, 1 reg's error (such as
#                              "Unable to find"), 2 no answer at all
# The server's own output goes to $WINEPREFIX/wineserver.log.

# Without wine32 the wrapper prints a hint on every start unless debug output is off.
export WINEDEBUG="${WINEDEBUG:--all}"

# wine_start <prefix>
wine_start() {
  export WINEPREFIX
  WINEPREFIX="$(mkdir -p "$1" && cd "$1" && pwd)"
  # No Mono or Gecko installer dialogs at boot.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  _wine_server_up
  # Wine drops QT_* variables from the environment, and with no console Qt would log to the
  # debug channel.
  wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /t REG_SZ /d 1 /f >/dev/null
}

# wine_map_com <n> <path>
wine_map_com() {
  # Wine rewrites the dosdevices link; the prefix's registry is what it reads, at start.
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f >/dev/null
  wineserver -k
  wineserver -w
  _wine_server_up
}

wine_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Once in a while Wine starts reg and it ends, unsuccessfully, before printing a thing: that
# is no answer, so it is asked again. A missing key or value is an answer ("Unable to find").
wine_reg_query() {
  local file="$1" attempt status
  shift
  for attempt in 1 2 3; do
    status=0
    wine reg query "$@" 2>&1 | tr -d '\r' >"$file" || status=$?
    [ "$status" -eq 0 ] && return 0
    [ -s "$file" ] && return 1
    sleep "$attempt"
  done
  echo "reg query $* printed nothing, three times; it ended with $status" >"$file"
  return 2
}

# A persistent server spares every program the server's start-up (seconds). It detaches from
# us; a pseudo-terminal closing under it (an unplugged COM port) sends it SIGHUP, whose report
# stays in its own log. The boot starts the prefix's services, which would otherwise start
# with the first program and keep its output open (a test runner waiting for its end would
# wait for ever).
_wine_server_up() {
  wineserver -p </dev/null >>"$WINEPREFIX/wineserver.log" 2>&1
  wine wineboot </dev/null >>"$WINEPREFIX/wineserver.log" 2>&1
}
