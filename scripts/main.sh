#!/usr/bin/env bash
# Sets up what is missing, builds, converts the sample picture to a TVC picture with
# vizorka-cli, and opens the result in Vizorka under Wine when a display is available.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done

mkdir -p out
./build/native/vizorka-cli samples/sample.bmp --dither 16 --info --save out/sample.kep \
  --export out/sample-tvc.bmp
echo "Wrote out/sample.kep (TVC picture) and out/sample-tvc.bmp (its colours as a BMP)."

if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wine build/windows/Vizorka.exe "$(winepath -w out/sample.kep 2>/dev/null || echo out/sample.kep)" </dev/null
else
  echo "No display: to see the picture, run with DISPLAY set (for example under Xvfb)."
fi
