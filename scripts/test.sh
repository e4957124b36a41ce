#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: the native unit
# tests (also under ASan and UBSan), the fuzz targets for a short run, the Windows
# programs under Wine, and the unit tests built for aarch64 under qemu-user.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-layers.sh
bash scripts/check-format.sh

jobs=$(nproc)
for preset in native native-sanitize fuzz windows aarch64; do
  echo "=== $preset: build"
  cmake --preset "$preset" -DVIZORKA_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
for preset in native native-sanitize fuzz windows aarch64; do
  echo "=== $preset: tests"
  ctest --preset "$preset"
done
