# Vizorka.exe under Wine: a converted picture keeps its title, picture and undo history
# when a .webp file, a folder and a text file named .png are dropped on it in turn.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" failedopen "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
