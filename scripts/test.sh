#!/usr/bin/env bash
# Sets up, builds and runs every test: installs the packages, starts a throwaway PostgreSQL
# server on loopback, then builds and runs the whole suite twice — GCC in Release with warnings
# as errors, and clang with AddressSanitizer and UndefinedBehaviorSanitizer (which also builds
# the fuzz targets and benchmarks) — and ends with a bounded run of each fuzz target.
#   FUZZ_SECONDS  seconds per fuzz target [60]; 0 skips fuzzing
#   BUILD_DIR     build folder prefix [build-test]: <prefix>-gcc and <prefix>-clang
#   COMPILERS     which builds to run ["gcc clang"]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-test}
fuzz_seconds=${FUZZ_SECONDS:-60}
compilers=${COMPILERS:-gcc clang}

"$root/scripts/install-deps.sh"

export PGTEST_PORT=${PGTEST_PORT:-54329}
VELLUMARK_TEST_PG_URL=$("$root/scripts/pg-test-server.sh" start)
export VELLUMARK_TEST_PG_URL
trap '"$root/scripts/pg-test-server.sh" stop' EXIT

# The sample Access databases: VELLUMARK_SAMPLES_DIR, else the shared folder beside the checkout.
samples=""
for candidate in "${VELLUMARK_SAMPLES_DIR:-}" "$root/../shared/samples"; do
    if [[ -n $candidate && -f $candidate/northwind-jet4.mdb ]]; then
        samples=$(cd "$candidate" && pwd)
        break
    fi
done
if [[ -n $samples ]]; then
    # Every test must run: one that would be skipped for want of a server, a sample or a tool
    # fails instead.
    export VELLUMARK_TEST_REQUIRE_ALL=1
else
    echo "warning: the sample Access databases were not found; tests that need them are skipped" >&2
fi

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

for compiler in $compilers; do
    dir=$build-$compiler
    case $compiler in
    gcc) options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++) ;;
    clang) options=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DVELLUMARK_SANITIZE=ON
        -DVELLUMARK_FUZZ=ON -DVELLUMARK_BENCH=ON) ;;
    *) echo "unknown compiler $compiler" >&2; exit 2 ;;
    esac
    echo "== $compiler: build"
    cmake -S "$root" -B "$dir" -G Ninja -DVELLUMARK_WERROR=ON ${samples:+-DVELLUMARK_SAMPLES_DIR="$samples"} \
        "${options[@]}" >/dev/null
    cmake --build "$dir"
    echo "== $compiler: tests"
    (cd "$dir" && ctest --output-on-failure -j"$(nproc)")
done

fuzz_build=$build-clang
if [[ $fuzz_seconds -gt 0 && -d $fuzz_build/fuzz ]]; then
    for target in "$fuzz_build"/fuzz/fuzz_*; do
        [[ -f $target && -x $target ]] || continue # not the autogen folders
        name=$(basename "$target")
        corpus=$(mktemp -d)
        cp -r "$root/fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
        echo "== $name: ${fuzz_seconds}s"
        log="$fuzz_build/$name.log"
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
