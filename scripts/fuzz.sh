#!/usr/bin/env bash
# A fuzzing campaign: scripts/fuzz.sh [SECONDS]
#
# Builds the fuzz preset when needed, then runs every fuzz target for SECONDS (default
# 60), FUZZ_JOBS of them at a time (default 2), each on a scratch corpus that starts
# from its seeds in tests/fuzz/seeds; nothing is written into the repository. Reports
# each target's executions and findings (crash, leak, timeout and out-of-memory
# files) and exits 1 when anything was found; the findings stay in the scratch folder,
# named in the report.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

seconds=${1:-60}
jobs=${FUZZ_JOBS:-2}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ && "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]   (FUZZ_JOBS: targets at a time)" >&2
  exit 2
fi

[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
if ! build_output=$(cmake --build --preset fuzz -j "$jobs" 2>&1); then
  echo "$build_output" >&2
  exit 2
fi

targets=()
for source in tests/fuzz/fuzz_*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vizorka-fuzz.XXXXXX")
# On an interrupt, stop the fuzzers this script started (their ids are in the folders).
# shellcheck disable=SC2317  # called by the trap
stop_fuzzers() {
  for pidfile in "$work"/*/pid; do
    if [ -f "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null || true; fi
  done
}
trap 'stop_fuzzers; echo "Stopped; the work is in $work" >&2; exit 130' INT TERM

# One target: corpus and findings in its own folder, its output in a log.
run_target() {
  local name=$1 dir=$work/$1 status=0
  mkdir -p "$dir/corpus" "$dir/findings"
  if [ -d "$repo/tests/fuzz/seeds/$name" ]; then
    cp -R "$repo/tests/fuzz/seeds/$name/." "$dir/corpus/"
  fi
  cd "$dir"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    "$repo/build/fuzz/$name" -max_total_time="$seconds" -max_len=65536 -timeout=60 \
    -rss_limit_mb=4096 -malloc_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" corpus >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  wait $! || status=$?
  rm -f "$dir/pid"
  echo "$status" >"$dir/status"
}

echo "Fuzzing ${#targets[@]} targets for ${seconds} s each, $jobs at a time, in $work"
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$name" &
done
wait

found=0
printf '%-18s %14s %9s  %s\n' target executions findings status
for name in "${targets[@]}"; do
  dir=$work/$name
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  # A run that stopped at a finding may end before its statistics: its last status line.
  [ -n "$executions" ] || executions=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$dir/log" | tail -1)
  findings=$(find "$dir/findings" -type f | wc -l)
  status=$(cat "$dir/status" 2>/dev/null || echo "?")
  note="ok"
  if [ "$findings" -gt 0 ] || [ "$status" != 0 ]; then
    found=1
    note="exit $status, see $dir/log"
  fi
  printf '%-18s %14s %9s  %s\n' "$name" "${executions:-?}" "$findings" "$note"
  find "$dir/findings" -type f -printf '    %p\n'
done

if [ "$found" = 0 ]; then
  rm -rf "$work"
  echo "Nothing found."
else
  echo "Findings kept in $work" >&2
fi
exit "$found"
