#!/usr/bin/env bash
# Fails when two source folders depend on each other, directly or through others.
# A folder depends on another when one of its files includes a header of the other
# ("converter/model/document.h" makes the file's folder depend on converter/model).
set -euo pipefail
cd "$(dirname "$0")/.."

edges=$(
  git ls-files -- 'base/*.h' 'base/*.cpp' 'converter/*.h' 'converter/*.cpp' 'cli/*.h' 'cli/*.cpp' 'player/*.h' 'player/*.cpp' \
    'sound/*.h' 'sound/*.cpp' 'rawconv/*.h' 'rawconv/*.cpp' |
    while read -r file; do
      from=$(dirname "$file")
      sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file" |
        while read -r included; do
          # Includes relative to the file's own folder stay inside it.
          [[ "$included" == */* ]] || continue
          to=$(dirname "$included")
          [ "$to" != "$from" ] && echo "$from $to"
        done
    done | sort -u
)

if ! sorted=$(printf '%s\n' "$edges" | tsort 2>&1 >/dev/null); then
  echo "Folder dependency cycle:" >&2
  echo "$sorted" >&2
  exit 1
fi
if [ -n "$sorted" ]; then
  echo "Folder dependency cycle:" >&2
  echo "$sorted" >&2
  exit 1
fi
echo "Folder layers: no cycles among $(printf '%s\n' "$edges" | tr ' ' '\n' | sort -u | wc -l) folders."
