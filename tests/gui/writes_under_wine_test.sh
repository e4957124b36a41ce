# vizorka-cli.exe's writes under Wine: a read-only target is refused and kept, a device
# (NUL, which Windows gives every extension) is written in place, and a replaced file
# leaves nothing beside it.
source "$(dirname "$0")/lib.sh"
gui_init_prefix
cli="$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe"
cd "$GUI_TMP"
cp "$VIZORKA_SOURCE_DIR/samples/sample.bmp" in.bmp

printf old >read-only.bmp
chmod 444 read-only.bmp
set +e
gui_wine "$cli" in.bmp --export read-only.bmp >/dev/null 2>&1
status=$?
set -e
[ $status -eq 3 ] || gui_fail "a read-only target gave status $status, not 3"
[ "$(cat read-only.bmp)" = old ] || gui_fail "the read-only target was changed"

gui_wine "$cli" in.bmp --export NUL.bmp >/dev/null 2>&1 || gui_fail "writing NUL failed"
printf old >out.bmp
gui_wine "$cli" in.bmp --export out.bmp >/dev/null 2>&1 || gui_fail "replacing out.bmp failed"
[ "$(head -c 2 out.bmp)" = BM ] || gui_fail "out.bmp is not a BMP"
names=$(ls -A | tr '\n' ' ')
[ "$names" = "in.bmp out.bmp read-only.bmp " ] || gui_fail "unexpected files: $names"
echo "ok: read-only refused, NUL written in place, out.bmp replaced cleanly"
