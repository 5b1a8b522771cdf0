#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the normal build, then the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz harnesses for a short while.
# Set ORV_QUICK=1 to run the normal build's suite only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh"

# Runs a build's suite with a TMPDIR of its own, which must be empty after:
# no test leaves files behind.
# (Qt keeps its runtime folder apart.)
run_suite() {
  local build=$1 tmp runtime left
  shift
  tmp=$(mktemp -d)
  runtime=$(mktemp -d)
  (cd "$build" && env TMPDIR="$tmp" XDG_RUNTIME_DIR="$runtime" "$@" ctest --output-on-failure -j "$jobs")
  left=$(find "$tmp" -mindepth 1 -maxdepth 1 | head -5)
  rm -rf "$tmp" "$runtime"
  if [ -n "$left" ]; then
    echo "test: the suite left files behind in TMPDIR:" >&2
    echo "$left" >&2
    return 1
  fi
}

echo "== build and test"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$jobs"
run_suite "$root/build"

if [ "${ORV_QUICK:-0}" = 1 ]; then exit 0; fi

echo "== sanitizer build and test"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON -DORV_BUILD_BENCH=OFF
cmake --build "$root/build-asan" -j "$jobs"
run_suite "$root/build-asan" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 LSAN_OPTIONS=suppressions="$root/tests/lsan.supp"

if [ -n "$(ls "$root"/fuzz/*.cpp 2>/dev/null)" ]; then
  echo "== fuzz"
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORV_BUILD_FUZZ=ON -DORV_BUILD_APP=OFF -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF
  cmake --build "$root/build-fuzz" -j "$jobs"
  echo "== fuzz seeds"
  "$root/scripts/fuzz.sh" --check-seeds "$root/build-fuzz"
  "$root/scripts/fuzz.sh" "$root/build-fuzz"
fi
