#!/usr/bin/env bash
# Writes the fuzz_jpeg seeds for the variants beyond baseline and progressive Huffman:
# arithmetic coding, uncommon sampling, sequential scans of separate components, CMYK and
# YCCK, RGB, an EXIF orientation. Each
# seed starts with the fuzz target's mode byte (bit 0: fast transform; the rest: read
# size), then a small picture made by cjpeg, jpegtran, ImageMagick or PIL.
#   bash tests/fuzz/make_jpeg_seeds.sh
set -euo pipefail
seeds="$(cd "$(dirname "$0")" && pwd)/seeds/fuzz_jpeg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 24x16 gradient:red-blue -seed 7 -attenuate 0.3 +noise Uniform "$work/in.ppm"

seed() {  # seed NAME MODE-BYTE FILE
  { printf "\\x$2"; cat "$3"; } > "$seeds/$1.jpg"
}

cjpeg -arithmetic -sample 2x1 -outfile "$work/a.jpg" "$work/in.ppm"
seed arithmetic 01 "$work/a.jpg"
cjpeg -arithmetic -progressive -restart 1B -outfile "$work/a.jpg" "$work/in.ppm"
seed arithmetic_progressive 82 "$work/a.jpg"
cjpeg -sample 4x1,1x2,1x1 -outfile "$work/a.jpg" "$work/in.ppm"
seed sampling_mixed 03 "$work/a.jpg"
cjpeg -progressive -sample 3x2 -outfile "$work/a.jpg" "$work/in.ppm"
seed sampling_3x2_progressive 44 "$work/a.jpg"
printf '0; 1 2;' > "$work/scans"
cjpeg -scans "$work/scans" -restart 1B -outfile "$work/a.jpg" "$work/in.ppm"
seed separate_scans 0d "$work/a.jpg"
printf '2; 0; 1;' > "$work/scans"
cjpeg -scans "$work/scans" -arithmetic -sample 4x4 -outfile "$work/a.jpg" "$work/in.ppm"
seed separate_scans_arithmetic_4x4 10 "$work/a.jpg"
cjpeg -rgb -outfile "$work/a.jpg" "$work/in.ppm"
seed rgb 05 "$work/a.jpg"
convert "$work/in.ppm" -colorspace CMYK -sampling-factor 2x2 -quality 80 "jpg:$work/a.jpg"
seed ycck 07 "$work/a.jpg"
/usr/bin/python3 -c "
from PIL import Image
Image.open('$work/in.ppm').convert('CMYK').save('$work/a.jpg', quality=80, progressive=True)"
seed cmyk_progressive 09 "$work/a.jpg"
/usr/bin/python3 -c "
import struct
from PIL import Image
exif = b'Exif\x00\x00MM' + struct.pack('>HIHHHIHHI', 42, 8, 1, 0x0112, 3, 1, 6, 0, 0)
Image.open('$work/in.ppm').save('$work/a.jpg', quality=80, exif=exif)"
seed exif_orientation6 0b "$work/a.jpg"
ls -l "$seeds"
