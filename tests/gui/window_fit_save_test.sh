# Vizorka.exe under Wine: a 4000 x 3000 picture opens fitted and whole; the horizontal
# scroll bar lies above the status bar; Ctrl+S after Save as writes without a dialog.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" fit "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
