# Vizorka.exe under Wine: "Kép jellemzői" and "KEP fájl dekódolásának jellemzői".
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" properties \
  "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
