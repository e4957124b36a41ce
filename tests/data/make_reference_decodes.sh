#!/usr/bin/env bash
# Makes ImageMagick's reference decodes of the public suites in tests/data (pngsuite,
# bmpsuite, gif-test-suite) once, into tests/data/reference, so that the conformance
# tests judge our readers without ImageMagick. The tests themselves name each decode and
# its options: run in record mode, they decode with ImageMagick and store what it gives.
# Run it again after adding a suite file or changing a test's options; commit the result.
set -euo pipefail
cd "$(dirname "$0")/../.."
command -v convert >/dev/null || { echo "needs ImageMagick's convert" >&2; exit 2; }
cmake --preset native >/dev/null
cmake --build --preset native --target unit_tests >/dev/null
rm -rf tests/data/reference
VIZORKA_RECORD_REFERENCES=1 build/native/unit_tests \
  --gtest_filter='PngSuite.ConformanceWithImageMagick:BmpSuite.ConformanceWithImageMagick:GifReader.MatchesTheGifTestSuite'
echo "$(find tests/data/reference -type f | wc -l) reference decodes in tests/data/reference" \
  "($(du -sh tests/data/reference | cut -f1))"
