# Vizorka.exe under Wine: "Paletta beállítása" on 4- and 2-colour pictures.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" palette \
  "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
