# Vizorka.exe under Wine: wheel and keys, the status bar, Ctrl+Z and Ctrl+Y, the question
# before a changed picture goes, a dropped file, Ctrl+O, a dropped PNG.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" everyday "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
