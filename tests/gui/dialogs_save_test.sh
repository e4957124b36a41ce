# Vizorka.exe under Wine: "Mentés beállításai" and the save-file dialog; the files saved
# equal vizorka-cli's with the same options, and read back as the picture.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" save \
  "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"

cli="$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe"
gui_wine "$cli" forras.kep --coding rle --format sprite-mask --palette-file on --mask-colour 12 \
  --save cli-sprite.kep
cmp "sprite-ő.kep" cli-sprite.kep || gui_fail "the sprite differs from vizorka-cli's"
cmp "sprite-ő.PAL" cli-sprite.PAL || gui_fail "the palette file differs from vizorka-cli's"
gui_wine "$cli" forras.kep --coding rle --save cli-rle.kep
cmp rle.kep cli-rle.kep || gui_fail "the RLE file differs from vizorka-cli's"
echo "ok"
