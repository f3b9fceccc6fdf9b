#!/usr/bin/env bash
# Sets up, builds and runs Vellumark.
#   BUILD_DIR  build folder [build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMARK_TESTS=OFF >/dev/null
cmake --build "$build"

exec "$build/src/vellumark" "$@"
