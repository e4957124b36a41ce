# Vizorka.exe under Wine: Open from the command line (an accented name) and through the
# open dialog; placement, hatched margin, zoom 2 x 1, menu states by colour mode.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" open "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
