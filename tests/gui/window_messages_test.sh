# Vizorka.exe under Wine: the message boxes of Open, read from outside.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" messages "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
