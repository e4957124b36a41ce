#!/usr/bin/env bash
# A fuzzing campaign: scripts/fuzz.sh [SECONDS] [TARGET]...
#
# Builds the fuzz preset when needed, then runs every fuzz target (or the ones named) for
# SECONDS (default 60), FUZZ_JOBS of them at a time (default 2), each on a scratch corpus
# that starts from its kept corpus in tests/fuzz/corpus and its seeds in tests/fuzz/seeds.
# A run that found nothing merges what it learnt back into tests/fuzz/corpus/TARGET
# (only inputs that add coverage) and adds its executions and the seconds it ran to
# tests/fuzz/executions.tsv, so that campaigns add up; a fuzzer stopped early with
# SIGUSR1 ends cleanly and counts as such a run. Reports each target's executions, its
# total over every campaign, and its findings (crash, leak, timeout and out-of-memory files), and exits 1
# when anything was found; the findings stay in the scratch folder, named in the report.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

seconds=${1:-60}
jobs=${FUZZ_JOBS:-2}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ && "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [TARGET]...   (FUZZ_JOBS: targets at a time)" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))

[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
if ! build_output=$(cmake --build --preset fuzz -j "$jobs" 2>&1); then
  echo "$build_output" >&2
  exit 2
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi
for name in "${targets[@]}"; do
  [ -f "tests/fuzz/$name.cpp" ] || { echo "no fuzz target $name" >&2; exit 2; }
done
tally=$repo/tests/fuzz/executions.tsv

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
  for kept in "$repo/tests/fuzz/corpus/$name" "$repo/tests/fuzz/seeds/$name"; do
    if [ -d "$kept" ]; then cp -R "$kept/." "$dir/corpus/"; fi
  done
  cd "$dir"
  local started=$SECONDS
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    "$repo/build/fuzz/$name" -max_total_time="$seconds" -max_len=65536 -timeout=60 \
    -rss_limit_mb=4096 -malloc_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" corpus >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  wait $! || status=$?
  rm -f "$dir/pid"
  echo "$status" >"$dir/status"
  # The seconds it ran: fewer than asked when stopped early with SIGUSR1, which libFuzzer
  # takes as a clean end.
  echo $((SECONDS - started)) >"$dir/elapsed"
}

echo "Fuzzing ${#targets[@]} targets for ${seconds} s each, $jobs at a time, in $work"
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$name" &
done
wait

# Keeps what a clean run learnt: the inputs that add coverage join the kept corpus, and
# its executions the tally.
keep_run() {
  local name=$1 executions=$2 dir=$work/$1
  mkdir -p "$repo/tests/fuzz/corpus/$name"
  ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
    "$repo/build/fuzz/$name" -merge=1 -max_len=65536 -timeout=60 -rss_limit_mb=4096 \
    "$repo/tests/fuzz/corpus/$name" "$dir/corpus" >"$dir/merge.log" 2>&1
  [ -f "$tally" ] || printf 'date\ttarget\tseconds\texecutions\n' >"$tally"
  printf '%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%d)" "$name" "$(cat "$dir/elapsed")" "$executions" \
    >>"$tally"
}

found=0
printf '%-18s %14s %16s %9s  %s\n' target executions "all campaigns" findings status
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
  elif [ -n "$executions" ]; then
    keep_run "$name" "$executions"
  fi
  total=$(awk -F'\t' -v t="$name" '$2 == t { s += $4 } END { print s + 0 }' "$tally" 2>/dev/null)
  printf '%-18s %14s %16s %9s  %s\n' "$name" "${executions:-?}" "${total:-0}" "$findings" "$note"
  find "$dir/findings" -type f -printf '    %p\n'
done

if [ "$found" = 0 ]; then
  rm -rf "$work"
  echo "Nothing found."
else
  echo "Findings kept in $work" >&2
fi
exit "$found"
