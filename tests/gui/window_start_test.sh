# Vizorka.exe under Wine: class, title, the whole menu tree, an empty window.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" start "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"
# The program itself has no test hook: it writes no state dump for anyone who asks.
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_driver.exe" release "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka.exe")"
