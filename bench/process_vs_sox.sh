#!/usr/bin/env bash
# Times the whole `vexlan-host process` command against sox running an
# equalizer over the same file: a 60 s, 24-bit stereo, 48 kHz WAV, both run
# alternately in one session, and prints the median times and their ratio.
#
# Usage: bench/process_vs_sox.sh [native|wine] [RUNS]   (default: native 9)
#   native  build/release/bin/vexlan-host (built here if missing)
#   wine    build/windows/bin/vexlan-host.exe under Wine; its time includes
#           starting Wine, which a Windows user does not pay
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=${1:-native}
runs=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$here"

case $mode in
  native)
    if [ ! -x build/release/bin/vexlan-host ]; then
      cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXLAN_BUILD_TESTS=OFF \
        -DVEXLAN_BUILD_BENCHMARKS=OFF >/dev/null
      cmake --build build/release -j "${VEXLAN_JOBS:-2}" --target vexlan vexlan-host >/dev/null
    fi
    host=("$here/build/release/bin/vexlan-host")
    ;;
  wine)
    [ -x build/windows/bin/vexlan-host.exe ] || { echo "build the Windows host first (build/windows)" >&2; exit 1; }
    host=("$here/scripts/wine-run.sh" "$here/build/windows/bin/vexlan-host.exe")
    "${host[@]}" help >/dev/null  # the prefix exists before timing
    ;;
  *) echo "usage: $0 [native|wine] [RUNS]" >&2; exit 2 ;;
esac

sox -n -r 48000 -b 24 -c 2 "$work/in.wav" synth 60 pinknoise vol 0.5

seconds() {  # command... -> wall seconds
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f\n", (e - s) / 1e9 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Wine reads paths relative to the folder it starts in without translation.
cd "$work"
: >sox.times
: >vexlan.times
for _ in $(seq "$runs"); do
  seconds sox in.wav sox.wav equalizer 1000 2q 6 >>sox.times
  seconds "${host[@]}" process in.wav vexlan.wav --mode eq --curve "500:0,1000:6,2000:0" >>vexlan.times
done
sox_median=$(median <sox.times)
vexlan_median=$(median <vexlan.times)
printf 'sox equalizer:          %.3f s (median of %d)\n' "$sox_median" "$runs"
printf 'vexlan-host process:    %.3f s (%s, median of %d)\n' "$vexlan_median" "$mode" "$runs"
awk -v v="$vexlan_median" -v s="$sox_median" 'BEGIN { printf "ratio vexlan / sox:     %.2f\n", v / s }'
