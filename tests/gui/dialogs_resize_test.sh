# Vizorka.exe under Wine: "Átméretezés" from the menu (Mégse, a refused size, OK) and
# "Előnézet mentése PNG-ként..."; the window's preview equals vizorka-cli's.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" resize \
  "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"

gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe" minta.bmp --resize 40,30,fill --preview cli.png
cmp "előnézet.png" cli.png || gui_fail "the window's preview differs from vizorka-cli's"
echo "ok"
