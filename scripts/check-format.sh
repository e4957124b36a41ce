#!/usr/bin/env bash
# Fails when a C++ file does not match .clang-format; `clang-format -i FILE` mends it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/vizorka-format.$$; then
  grep -oE '^[^: ]+\.(cpp|h):[0-9]+:' /tmp/vizorka-format.$$ | cut -d: -f1 | sort -u |
    sed 's/^/not formatted: /' >&2
  rm -f /tmp/vizorka-format.$$
  exit 1
fi
rm -f /tmp/vizorka-format.$$
echo "Format: ${#files[@]} files match .clang-format."
