# Vizorka.exe under Wine: "Tónus" from the menu, its live preview in the window, Mégse
# restoring the screen pixel for pixel, Alaphelyzet, and OK as one undo step.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" tone \
  "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
echo "ok"
