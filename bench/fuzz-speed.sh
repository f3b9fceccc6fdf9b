#!/usr/bin/env bash
# How fast a fuzz target runs, measured as scripts/test.sh runs it.
#   bench/fuzz-speed.sh BUILD_DIR [TARGET] [SECONDS]
#     Runs BUILD_DIR/fuzz/fuzz_TARGET (badge_reader) on a copy of its seed corpus with the options
#     of scripts/test.sh and prints inputs run, inputs per second, inputs per CPU-second and the
#     load average before and after: on a shared machine only the per-CPU-second figure compares.
#   bench/fuzz-speed.sh --callgrind BUILD_DIR CORPUS_DIR [TARGET]
#     Instructions per input over the files of CORPUS_DIR, which repeat whatever the load.
#     AddressSanitizer does not run under valgrind: use a fuzz build without it, e.g.
#     -DVELLUMARK_FUZZ=ON -DVELLUMARK_SANITIZE=OFF
#     -DCMAKE_CXX_FLAGS="-gdwarf-4 -fsanitize=undefined" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=undefined
#     (valgrind 3.19 cannot read clang's default DWARF 5).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen

if [[ ${1:-} == --callgrind ]]; then
    build=$2 corpus=$3 target=fuzz_${4:-badge_reader}
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    : >"$work/empty"
    files=("$corpus"/*)
    run() { # prints the instructions of a run of the target over the given inputs
        valgrind --tool=callgrind --callgrind-out-file="$work/out" --log-file="$work/log" \
            "$build/fuzz/$target" "$@" >/dev/null 2>&1
        grep -o 'Collected : [0-9]*' "$work/log" | awk '{print $3}'
    }
    all=$(run "${files[@]}")
    startup=$(run "$work/empty")
    echo "$target: ${#files[@]} inputs, $(((all - startup) / ${#files[@]})) instructions an input" \
        "($all in all, $startup to start)"
    exit 0
fi

build=${1:?usage: $0 BUILD_DIR [TARGET] [SECONDS]}
target=fuzz_${2:-badge_reader}
seconds=${3:-60}
corpus=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$corpus" "$log" "$log.time"' EXIT
cp -r "$root/fuzz/corpus/${target#fuzz_}/." "$corpus/" 2>/dev/null || true
before=$(cut -d' ' -f1-3 /proc/loadavg)
LSAN_OPTIONS=suppressions=$root/tests/lsan.supp /usr/bin/time -f '%U %S' -o "$log.time" \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" >"$log" 2>&1
after=$(cut -d' ' -f1-3 /proc/loadavg)
runs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
read -r user sys <"$log.time"
awk -v n="$runs" -v s="$seconds" -v u="$user" -v k="$sys" -v b="$before" -v a="$after" \
    -v t="$target" 'BEGIN {
        printf "%s: %d inputs in %d s: %.0f/s, %.0f per CPU-second (%.1f s); load %s -> %s\n",
            t, n, s, n / s, n / (u + k), u + k, b, a
    }'
