# Vizorka.exe under Wine: "Effektus-beállítások", its colour buttons and the "TVC színek"
# picker; the settings chosen there give the same dithers as vizorka-cli given them, the
# ordered one and the perceptual one.
source "$(dirname "$0")/lib.sh"
gui_start_display
gui_init_prefix
cd "$GUI_TMP"
gui_wine "$VIZORKA_WINDOWS_BUILD/vizorka_dialogs_driver.exe" effects \
  "$(winepath -w "$VIZORKA_WINDOWS_BUILD/Vizorka-test.exe")"

cli="$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe"
settings=(--predistort off --interlace on --colours 0,12,0,10,14,15,0,11,7,15 --threshold 200)
gui_wine "$cli" minta.bmp "${settings[@]}" --algorithm ordered --dither 2 --save cli-ordered.kep
gui_wine "$cli" minta.bmp "${settings[@]}" --algorithm fs --dither 2 --save cli-fs.kep
cmp gui-ordered.kep cli-ordered.kep || gui_fail "the window's dither differs from vizorka-cli's"
cmp -s cli-ordered.kep cli-fs.kep && gui_fail "ordered and Floyd-Steinberg dithers should differ"

gui_wine "$cli" minta.bmp "${settings[@]}" --algorithm perceptual --dither 4 --save cli-perceptual.kep
gui_wine "$cli" minta.bmp "${settings[@]}" --algorithm fs --dither 4 --save cli-fs4.kep
cmp gui-perceptual.kep cli-perceptual.kep ||
  gui_fail "the window's perceptual dither differs from vizorka-cli's"
cmp -s cli-perceptual.kep cli-fs4.kep &&
  gui_fail "perceptual and Floyd-Steinberg dithers should differ"

# "Legjobb színek" and "Finomított" in the window, --colours auto and --algorithm refined
# on the command line: the same sets and the same dither.
gui_wine "$cli" minta.bmp --predistort off --interlace on \
  --colours 0,12,auto,auto,auto,auto,auto,auto,auto,auto --algorithm refined --dither 4 \
  --save cli-refined.kep
cmp gui-refined.kep cli-refined.kep ||
  gui_fail "the window's best colours and refined dither differ from vizorka-cli's"
echo "ok"
