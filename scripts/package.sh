#!/usr/bin/env bash
# Builds Vellumark from scratch in Release and makes the Debian package.
#   BUILD_DIR  build folder [build-package]
# The package lands in the build folder; its name is printed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-package}

"$root/scripts/install-deps.sh" dpkg-dev
rm -rf "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVELLUMARK_TESTS=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vellumark_*.deb
