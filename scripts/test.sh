#!/usr/bin/env bash
# Sets up, builds and runs every test: installs the packages, starts a throwaway PostgreSQL
# server on loopback, builds with AddressSanitizer and UndefinedBehaviorSanitizer (clang, so the
# fuzz targets build too), runs the test suite, then a bounded run of each fuzz target.
#   FUZZ_SECONDS  seconds per fuzz target [60]; 0 skips fuzzing
#   BUILD_DIR     build folder [build-test]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-test}
fuzz_seconds=${FUZZ_SECONDS:-60}

"$root/scripts/install-deps.sh"

export PGTEST_PORT=${PGTEST_PORT:-54329}
VELLUMARK_TEST_PG_URL=$("$root/scripts/pg-test-server.sh" start)
export VELLUMARK_TEST_PG_URL
trap '"$root/scripts/pg-test-server.sh" stop' EXIT

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DVELLUMARK_SANITIZE=ON -DVELLUMARK_FUZZ=ON -DVELLUMARK_BENCH=ON -DVELLUMARK_WERROR=ON
cmake --build "$build"

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
(cd "$build" && ctest --output-on-failure -j"$(nproc)")

if [[ $fuzz_seconds -gt 0 && -d $build/fuzz ]]; then
    for target in "$build"/fuzz/fuzz_*; do
        [[ -f $target && -x $target ]] || continue # not the autogen folders
        name=$(basename "$target")
        corpus=$(mktemp -d)
        cp -r "$root/fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
        echo "== $name: ${fuzz_seconds}s"
        log="$build/$name.log"
        status=0
        LSAN_OPTIONS=suppressions=$root/tests/lsan.supp QT_QPA_PLATFORM=offscreen \
            "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
        grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' "$log" || true
        if [[ $status -ne 0 ]]; then tail -n 60 "$log" >&2; echo "$name failed" >&2; exit 1; fi
        rm -rf "$corpus"
    done
fi
echo "All tests passed."
