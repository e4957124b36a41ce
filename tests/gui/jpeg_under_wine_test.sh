# vizorka-cli.exe under Wine opens a JPG file whose name needs the wide API (ő, ű), and
# decodes it like the reference: within 2 levels of djpeg -dct fast -nosmooth.
source "$(dirname "$0")/lib.sh"
gui_init_prefix
cli="$VIZORKA_WINDOWS_BUILD/vizorka-cli.exe"

cp "$VIZORKA_TESTDATA_DIR/jpeg/testorig.jpg" "$GUI_TMP/tűzőgép.jpg"
(cd "$GUI_TMP" && gui_wine "$cli" "tűzőgép.jpg" --export decoded.bmp >/dev/null)
[ -f "$GUI_TMP/decoded.bmp" ] || gui_fail "no picture exported"

python3 - "$GUI_TMP/decoded.bmp" "$VIZORKA_TESTDATA_DIR/jpeg/testorig.djpeg-fast-nosmooth.bmp" <<'PY' || gui_fail "decode differs from the reference"
import struct, sys
def pixels(path):
    data = open(path, 'rb').read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height = struct.unpack_from('<ii', data, 18)
    bits, = struct.unpack_from('<H', data, 28)
    assert bits == 24, path
    stride = (3 * width + 3) // 4 * 4
    rows = [data[offset + y * stride: offset + y * stride + 3 * width] for y in range(abs(height))]
    return width, abs(height), rows if height < 0 else rows[::-1]
w1, h1, ours = pixels(sys.argv[1])
w2, h2, theirs = pixels(sys.argv[2])
assert (w1, h1) == (w2, h2), ((w1, h1), (w2, h2))
worst = max(abs(a - b) for r1, r2 in zip(ours, theirs) for a, b in zip(r1, r2))
print('largest difference', worst)
sys.exit(0 if worst <= 2 else 1)
PY
echo "ok"
