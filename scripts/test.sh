#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the normal build, then the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz harnesses for a short while.
# Set ORV_QUICK=1 to run the normal build's suite only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh"

echo "== build and test"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

if [ "${ORV_QUICK:-0}" = 1 ]; then exit 0; fi

echo "== sanitizer build and test"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON -DORV_BUILD_BENCH=OFF
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" ctest --output-on-failure -j "$jobs")

if [ -n "$(ls "$root"/fuzz/*.cpp 2>/dev/null)" ]; then
  echo "== fuzz"
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORV_BUILD_FUZZ=ON -DORV_BUILD_APP=OFF -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF
  cmake --build "$root/build-fuzz" -j "$jobs"
  echo "== fuzz seeds"
  "$root/scripts/fuzz.sh" --check-seeds "$root/build-fuzz"
  "$root/scripts/fuzz.sh" "$root/build-fuzz"
fi
