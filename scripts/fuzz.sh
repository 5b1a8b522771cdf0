#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build for a short while.
# Usage: scripts/fuzz.sh BUILD_DIR   (ORV_FUZZ_SECONDS, default 60 each)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?build directory}
seconds=${ORV_FUZZ_SECONDS:-60}
status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  name=${name#fuzz_}
  work=$(mktemp -d)
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! (cd "$work" && "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 "$work" "${seeds[@]}" >"$work/log" 2>&1); then
    echo "fuzz: $name found a fault:" >&2
    tail -60 "$work/log" >&2
    status=1
  else
    grep -E 'stat::number_of_executed_units' "$work/log" || true
  fi
  rm -rf "$work"
done
exit $status
