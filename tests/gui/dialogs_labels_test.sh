# Vizorka.exe under Wine at 96, 120 and 144 DPI: every label of every dialog fits its
# control in the dialog's own font, on one line. The DPI is a setting of the Wine
# prefix, so this test has a prefix of its own.
source "$(dirname "$0")/lib.sh"
export WINEPREFIX="$VIZORKA_WINDOWS_BUILD/wineprefix-dpi"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
for dpi in 96 120 144; do
  gui_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  # Wine reads the setting when it starts again.
  wineserver -w
  gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" labels \
    "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")" "$dpi"
done
