# vizorka-cli.exe under Wine: the usage status, and the sample converted like the Linux build.
source "$(dirname "$0")/lib.sh"
gui_init_prefix
cli="$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe"

set +e
gui_wine "$cli" >/dev/null 2>&1
status=$?
set -e
[ $status -eq 2 ] || gui_fail "usage error gave status $status, not 2"

cp "$VIZORKA_SOURCE_DIR/samples/sample.bmp" "$GUI_TMP/árvíztűrő.bmp"
info=$(cd "$GUI_TMP" && gui_wine "$cli" "árvíztűrő.bmp" --info | tr -d '\r')
case "$info" in
  '{"width":'*) ;;
  *) gui_fail "unexpected --info output: $info" ;;
esac
echo "ok: $info"
