#!/usr/bin/env bash
# Installs what is missing, builds Orvane and starts it on the sample scene.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" --target Orvane
exec "$root/build/Orvane" "$root/samples/welcome.x" "$@"
