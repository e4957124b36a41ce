#!/usr/bin/env bash
# Shows Vizorka.exe with a picture under Wine on a virtual display and saves a PNG of
# the window: scripts/screenshot.sh [PICTURE [OUT.png]]. Needs the windows build.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=$(realpath "${1:-samples/sample.bmp}")
out=$(realpath -m "${2:-out/vizorka-window.png}")
mkdir -p "$(dirname "$out")"
export VIZORKA_WINDOWS_BUILD="$PWD/build/windows"
[ -f "$VIZORKA_WINDOWS_BUILD/Vizorka.exe" ] || {
  echo "Build first: cmake --preset windows && cmake --build --preset windows" >&2
  exit 1
}
source tests/gui/lib.sh
gui_start_display
gui_init_prefix
wine "$VIZORKA_WINDOWS_BUILD/Vizorka.exe" "$(winepath -w "$picture")" </dev/null >/dev/null 2>&1 &
GUI_PIDS+=($!)
# The window is drawn once Wine has started it: wait until the screen is not all black.
for _ in $(seq 1 100); do
  import -window root "$GUI_TMP/screen.png"
  if [ "$(convert "$GUI_TMP/screen.png" -format '%[fx:maxima]' info:)" != 0 ]; then
    sleep 1  # let the picture itself be painted
    import -window root "$GUI_TMP/screen.png"
    convert "$GUI_TMP/screen.png" -trim +repage "$out"
    echo "Wrote $out"
    exit 0
  fi
  sleep 0.3
done
echo "Vizorka did not appear on the display" >&2
exit 1
