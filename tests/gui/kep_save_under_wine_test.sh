# vizorka-cli.exe under Wine saves KEP and palette files under accented names, and
# reports a file it cannot write with exit status 3.
source "$(dirname "$0")/lib.sh"
gui_init_prefix
cli="$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe"
cd "$GUI_TMP"

# A 16-colour KEP file, 8 x 2: TVC bytes 11 11 11 11 / 80 40 C0 00.
printf 'KEP\x0a\x00\x01\x04\x05\x08\x00\x02\x00\x00\x00\x00\x00\x11\x11\x11\x11\x80\x40\xc0\x00' >forras.kep

gui_wine "$cli" forras.kep --format sprite --palette-file on --coding rle --save "árvíztűrő.kep" \
  || gui_fail "saving the sprite failed"
[ "$(od -An -tx1 "árvíztűrő.kep" | tr -d ' \n')" = "040204118040c00100" ] \
  || gui_fail "sprite bytes: $(od -An -tx1 "árvíztűrő.kep")"
[ "$(od -An -tx1 "árvíztűrő.PAL" | tr -d ' \n')" = "00010405" ] \
  || gui_fail "palette file missing or wrong"

gui_wine "$cli" forras.kep --save "kép-ő.kep" || gui_fail "saving the KEP file failed"
cmp -s forras.kep "kép-ő.kep" || gui_fail "the plain KEP file does not match its source"
info=$(gui_wine "$cli" "kép-ő.kep" --info | tr -d '\r')
case "$info" in
  '{"width":8,"height":2,"rowStride":4,"colourMode":16,'*) ;;
  *) gui_fail "reopened file: $info" ;;
esac

set +e
gui_wine "$cli" forras.kep --save "nincs/x.kep" >/dev/null 2>&1
status=$?
set -e
[ $status -eq 3 ] || gui_fail "an unwritable file gave status $status, not 3"
echo "ok"
