# Vizorka.exe under Wine: scroll ranges and requests, the XOR outline, crops at zoom 1 and 2.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" view "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
