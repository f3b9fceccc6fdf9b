#!/usr/bin/env bash
# Sets up, builds and runs Vellumark on the demo project.
#   BUILD_DIR  build folder [build]
#   DEMO_DIR   where the demo project is created when absent [demo]
# With no display, prints the demo badges of the first ten people to a PDF instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
demo=${DEMO_DIR:-$root/demo}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMARK_TESTS=OFF >/dev/null
cmake --build "$build"

if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    export XDG_RUNTIME_DIR=$(mktemp -d) # Qt wants a private runtime folder
fi
project=$demo/data/Demo.Prj
if [[ ! -f $project ]]; then
    echo "Creating the demo project in $demo"
    "$build/src/vellumark-demo" "$demo" >/dev/null
fi

if [[ -z ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
    pdf=$demo/first-ten.pdf
    keys=()
    for n in $(seq 1 10); do keys+=(--key "$n"); done
    "$build/src/vellumark-print" "$project" --badge Staff "${keys[@]}" -o "$pdf"
    echo "No display: the Staff badges of the first ten people are in $pdf"
    exit 0
fi
exec "$build/src/vellumark" "$project"
