#!/usr/bin/env bash
# Holds the source folders to their ranking: a folder includes only folders of a lower
# layer, or its own parent or child folders (converter/formats and converter/formats/jpeg
# are one family), and no folders depend on each other, directly or through others. A
# folder includes another when one of its files includes that folder's header
# ("converter/model/document.h" makes the file's folder depend on converter/model).
set -euo pipefail
cd "$(dirname "$0")/.."

# Lowest first; folders on one line are one layer and do not include each other.
layers=(
  "base base/win32"
  "converter/model player"
  "converter/formats converter/formats/jpeg converter/formats/tvc converter/colour sound"
  "converter/view"
  "converter/commands"
  "converter/resources"
  "converter/app/win32 cli rawconv player/win32"
)

declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

same_family() { [[ "$1" == "$2"/* || "$2" == "$1"/* ]]; }

edges=$(
  git ls-files -- '*.h' '*.cpp' | grep -v '^tests/' |
    while read -r file; do
      from=$(dirname "$file")
      sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file" |
        while read -r included; do
          # Includes relative to the file's own folder stay inside it.
          [[ "$included" == */* ]] || continue
          to=$(dirname "$included")
          [ "$to" != "$from" ] && echo "$from $to $file"
        done
    done | sort -u
)

failed=0
while read -r from to file; do
  [ -n "$from" ] || continue
  for folder in "$from" "$to"; do
    if [ -z "${rank[$folder]+set}" ]; then
      echo "Folder $folder has no layer (named by $file): add it to scripts/check-layers.sh" >&2
      failed=1
    fi
  done
  [ -n "${rank[$from]+set}" ] && [ -n "${rank[$to]+set}" ] || continue
  # The menu numbers belong to the window alone.
  if [ "$to" = converter/resources ] && [[ "$from" != converter/app/* ]]; then
    echo "$file includes the window's resources" >&2
    failed=1
  elif ! same_family "$from" "$to" && [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
    echo "$file: $from (layer ${rank[$from]}) includes $to (layer ${rank[$to]})" >&2
    failed=1
  fi
done <<<"$edges"

folder_edges=$(printf '%s\n' "$edges" | awk 'NF { print $1, $2 }' | sort -u)
if ! cycles=$(printf '%s\n' "$folder_edges" | tsort 2>&1 >/dev/null) || [ -n "$cycles" ]; then
  echo "Folder dependency cycle:" >&2
  echo "$cycles" >&2
  failed=1
fi
[ "$failed" -eq 0 ] || exit 1
echo "Folder layers: ${#rank[@]} folders in ${#layers[@]} layers, every include pointing down."
