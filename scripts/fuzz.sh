#!/bin/sh
# Builds the state-chunk fuzz target with clang in build/fuzz, replays the
# seed corpus, then fuzzes for a bounded time.
#
#   scripts/fuzz.sh [seconds]      (default 60, or $VEXLAN_FUZZ_SECONDS)
#
# Exits non-zero when an input crashes the target; libFuzzer then leaves the
# input as build/fuzz/artifacts/crash-* and prints how to replay it.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${VEXLAN_FUZZ_SECONDS:-60}}
build="$root/build/fuzz"
seeds="$root/fuzz/corpus/state_chunk"
# New inputs the fuzzer finds go here, so the checked-in seeds stay as they are.
work="$build/corpus/state_chunk"
artifacts="$build/artifacts"
jobs=${VEXLAN_FUZZ_BUILD_JOBS:-2}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXLAN_BUILD_FUZZERS=ON -DVEXLAN_BUILD_TESTS=OFF -DVEXLAN_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target vexlan-state-chunk-fuzz

target="$build/bin/vexlan-state-chunk-fuzz"
mkdir -p "$work" "$artifacts"

echo "Replaying $(ls "$seeds" | wc -l) seed inputs"
"$target" -runs=0 -artifact_prefix="$artifacts/" "$seeds"

echo "Fuzzing for $seconds s"
"$target" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$work" "$seeds"
