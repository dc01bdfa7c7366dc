#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own folder (FUZZ_DIR, default
# build-fuzz), then either replays the seed corpus in fuzz/corpus through each
# (`replay`, for make check) or fuzzes each for SECONDS and keeps new inputs in
# its corpus folder (`run SECONDS`, for make fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:?usage: fuzz.sh replay | run SECONDS}
seconds=${2:-60}
dir=${FUZZ_DIR:-build-fuzz}

if ! command -v clang++ >/dev/null; then
    echo "clang++ is missing (Debian package clang): fuzz targets skipped" >&2
    exit 0
fi
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOOTLINE_FUZZ=ON \
    >/dev/null
cmake --build "$dir" --target fuzzers --parallel 2

log="$dir/fuzz/last-run.log"
for corpus in fuzz/corpus/*/; do
    target=$(basename "$corpus")
    fuzzer="$dir/fuzz/fuzz_$target"
    # Crashing inputs land beside the binaries, not in the source tree.
    options=(-artifact_prefix="$dir/fuzz/$target-" -timeout=10 -print_final_stats=1)
    if [ "$mode" = replay ]; then
        options+=(-runs=0)
    else
        options+=(-max_total_time="$seconds" -max_len=4096)
    fi
    if ! "$fuzzer" "${options[@]}" "$corpus" >"$log" 2>&1; then
        cat "$log"
        echo "fuzz_$target: failed, input kept under $dir/fuzz/" >&2
        exit 1
    fi
    execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    summary="fuzz_$target: ok, $execs runs, $cov, corpus $(ls "$corpus" | wc -l) files"
    if [ "$mode" != replay ]; then
        rate=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$')
        summary+=", $rate exec/s"
    fi
    echo "$summary"
done
