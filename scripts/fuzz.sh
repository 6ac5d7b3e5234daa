#!/bin/sh
# Builds the fuzz targets with clang in build/fuzz, replays the seed corpus
# through each, then fuzzes each for a bounded time:
#   vexlan-state-chunk-fuzz       whole instance: load a state, process audio, save
#   vexlan-state-reader-fuzz      the state reader alone: table decoder and fields, no audio
#   vexlan-table-round-trip-fuzz  the bytes as a table: encode, decode, encode again
#
#   scripts/fuzz.sh [seconds]      (default 60 per target, or $VEXLAN_FUZZ_SECONDS)
#
# Exits non-zero when an input crashes a target; libFuzzer then leaves the
# input as build/fuzz/artifacts/crash-* and prints how to replay it.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${VEXLAN_FUZZ_SECONDS:-60}}
build="$root/build/fuzz"
seeds="$root/fuzz/corpus/state_chunk"
artifacts="$build/artifacts"
jobs=${VEXLAN_FUZZ_BUILD_JOBS:-2}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXLAN_BUILD_FUZZERS=ON -DVEXLAN_BUILD_TESTS=OFF -DVEXLAN_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target vexlan-state-chunk-fuzz vexlan-state-reader-fuzz \
    vexlan-table-round-trip-fuzz
mkdir -p "$artifacts"

for name in state-chunk state-reader table-round-trip; do
    target="$build/bin/vexlan-$name-fuzz"
    # New inputs the fuzzer finds go here, so the checked-in seeds stay as they are.
    work="$build/corpus/$name"
    mkdir -p "$work"
    echo "$name: replaying $(ls "$seeds" | wc -l) seed inputs"
    "$target" -runs=0 -artifact_prefix="$artifacts/" "$seeds"
    echo "$name: fuzzing for $seconds s"
    "$target" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$work" "$seeds"
done
