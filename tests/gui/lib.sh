# Sourced by every test that runs a Windows program under Wine: one Xvfb display and
# the build's Wine prefix, and everything started here stopped by its PID on exit.
set -euo pipefail

: "${VIZORKA_WINDOWS_BUILD:?set by ctest: the build/windows folder}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$VIZORKA_WINDOWS_BUILD/wineprefix"
# Unix file names decode as UTF-8 while Wine's ANSI code page stays 1252: a program
# that does not use wide characters shows "ő" and "ű" wrongly here.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY

GUI_PIDS=()
GUI_TMP=$(mktemp -d)

gui_cleanup() {
  local status=$?
  wineserver -k >/dev/null 2>&1 || true
  local pid
  for pid in "${GUI_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${GUI_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$GUI_TMP"
  return $status
}
trap gui_cleanup EXIT

# Starts Xvfb (depth 24, exact colours) on a free display number and exports DISPLAY.
gui_start_display() {
  local number=90
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  GUI_PIDS+=($!)
  export DISPLAY=":$number"
  local tries=0
  until [ -e "/tmp/.X11-unix/X$number" ]; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && { echo "Xvfb did not start" >&2; return 1; }
    sleep 0.1
  done
}

# Creates the Wine prefix once per build folder (wineboot takes several seconds).
gui_init_prefix() {
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.vizorka-ready" ]; then
      wineboot -i </dev/null >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.vizorka-ready"
    fi
  ) 9>"$VIZORKA_WINDOWS_BUILD/.wineprefix.lock"
}

# Runs a Windows program; standard input is closed so Wine cannot swallow the script.
gui_wine() { wine "$@" </dev/null; }

gui_fail() {
  echo "FAIL: $*" >&2
  exit 1
}
