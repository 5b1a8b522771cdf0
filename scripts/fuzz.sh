#!/usr/bin/env bash
# Runs the fuzz harnesses of a fuzz build.
#
#   scripts/fuzz.sh BUILD_DIR                  every harness for a short while
#                                              (ORV_FUZZ_SECONDS, default 60 each)
#   scripts/fuzz.sh --check-seeds BUILD_DIR    every harness once over each of
#                                              its seeds: prints the coverage
#                                              and fails when a seed is rejected
#                                              at the header
#   ORV_FUZZ_ONLY=NAME                         only the harness fuzz_NAME
#
# A harness's seeds are fuzz/corpus/NAME and, for the .x and .3ds harnesses,
# the model files of the shared sample corpus beside the project
# (../shared/corpus/x, ../shared/corpus/3ds), for the image harnesses its
# image files, read where they are. A harness that leaves a file behind, in its working
# folder or in TMPDIR, fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = --check-seeds ]; then
  check=1
  shift
fi
build=$(cd "${1:?build directory}" && pwd)
seconds=${ORV_FUZZ_SECONDS:-60}
shared="$root/../shared/corpus"

# The seed folders of harness $1, the shared ones linked into folder $2.
seed_dirs() {
  local name=$1 links=$2
  [ -d "$root/fuzz/corpus/$name" ] && echo "$root/fuzz/corpus/$name"
  case "$name" in
    xfile | xreader)
      if [ -d "$shared/x" ]; then
        mkdir -p "$links"
        local n=0 f
        while IFS= read -r -d '' f; do
          [ "$(head -c 4 "$f" | tr -d '\000')" = "xof " ] || continue
          n=$((n + 1))
          ln -s "$f" "$links/$n-$(basename "$f")"
        done < <(find "$shared/x" -type f -print0 | sort -z)
        echo "$links"
      fi
      ;;
    texel | bmp | jpeg | tiff | png)
      # The image files of the shared corpus (the textures beside the
      # models included) whose names fit the harness's reader.
      if [ -d "$shared" ]; then
        local pattern
        case "$name" in
          texel) pattern='.*\.(tga|ppm|3df|rgt|raw|iff)$' ;;
          bmp) pattern='.*\.bmp$' ;;
          jpeg) pattern='.*\.(jpg|jpeg)$' ;;
          tiff) pattern='.*\.(tif|tiff)$' ;;
          png) pattern='.*\.png$' ;;
        esac
        mkdir -p "$links"
        local n=0 f
        while IFS= read -r -d '' f; do
          n=$((n + 1))
          ln -s "$f" "$links/$n-$(basename "$f")"
        done < <(find "$shared" -type f -regextype posix-extended -iregex "$pattern" -print0 | sort -z)
        echo "$links"
      fi
      ;;
    3ds)
      if [ -d "$shared/3ds" ]; then
        mkdir -p "$links"
        local n=0 f
        while IFS= read -r -d '' f; do
          [ "$(head -c 2 "$f")" = "MM" ] || continue
          n=$((n + 1))
          ln -s "$f" "$links/$n-$(basename "$f")"
        done < <(find "$shared/3ds" -type f -iname '*.3ds' -print0 | sort -z)
        echo "$links"
      fi
      ;;
  esac
}

# Files harness $1 left in folder $2 (its working folder or TMPDIR).
check_left() {
  local left
  left=$(find "$2" -mindepth 1 | head -5)
  if [ -n "$left" ]; then
    echo "fuzz: $1 left files behind:" >&2
    echo "$left" >&2
    return 1
  fi
}

status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  name=${name#fuzz_}
  [ -n "${ORV_FUZZ_ONLY:-}" ] && [ "$ORV_FUZZ_ONLY" != "$name" ] && continue
  work=$(mktemp -d)
  mkdir "$work/run" "$work/tmp" "$work/corpus"
  mapfile -t seeds < <(seed_dirs "$name" "$work/shared")
  if [ "$check" = 1 ]; then
    # One pass over the seed folders for the coverage, with every input that
    # fails at the header reported; then, when there are such inputs, one
    # pass seed by seed to name them.
    if ! (cd "$work/run" && TMPDIR="$work/tmp" ORV_FUZZ_REPORT_HEADER=1 "$fuzzer" -runs=0 -timeout=30 \
          -rss_limit_mb=4096 "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1); then
      echo "fuzz: $name failed on its seeds:" >&2
      tail -60 "$work/log" >&2
      status=1
    else
      cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$work/log" | tail -1)
      units=$(find -L "${seeds[@]}" -type f 2>/dev/null | wc -l)
      rejected=$(grep -c 'rejected at the header' "$work/log" || true)
      echo "fuzz seeds: $name: $units seeds, $cov, $rejected rejected at the header"
      if [ "$rejected" -gt 0 ]; then
        mapfile -t files < <(find -L "${seeds[@]}" -type f | sort)
        (cd "$work/run" && TMPDIR="$work/tmp" ORV_FUZZ_REPORT_HEADER=1 "$fuzzer" -timeout=30 -rss_limit_mb=4096 \
          "${files[@]}" >"$work/each" 2>&1) || true
        awk '/^Running: /{f=substr($0, 10)} /rejected at the header/{print f}' "$work/each" |
          while IFS= read -r f; do echo "fuzz seeds: $(readlink -f "$f") is rejected at the header" >&2; done
        status=1
      fi
    fi
  else
    echo "fuzz: $name for ${seconds}s"
    if ! (cd "$work/run" && TMPDIR="$work/tmp" "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
          -print_final_stats=1 "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1); then
      echo "fuzz: $name found a fault:" >&2
      tail -60 "$work/log" >&2
      status=1
    else
      grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$work/log" || true
      grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$work/log" | tail -1 || true
    fi
  fi
  check_left "$name" "$work/run" || status=1
  check_left "$name" "$work/tmp" || status=1
  rm -rf "$work"
done
exit $status
