# Vizorka.exe under Wine: Copy then Paste gives the same pixels; a 16-bit device bitmap pastes as true colour.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" clipboard "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
