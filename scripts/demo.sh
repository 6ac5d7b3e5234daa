#!/usr/bin/env bash
# The main job: the Windows plug-in under Wine, driven by the host stand-in,
# cleaning a recording twice: Subtract with a noise profile learnt from the
# recording's noise-only start, and an EQ curve that tames the hiss.
#
# Usage: scripts/demo.sh [YOUR.wav] [OUTDIR]
#   YOUR.wav  a recording that starts with noise alone (default: a built-in
#             demo recording, hiss alone for its first 1.5 s)
#   OUTDIR    where the WAV files go (default: build/demo)
# NOISE_SECONDS (default 1.5) is how long the noise-only start is.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
input=${1:-}
outdir=${2:-$here/build/demo}
noise_seconds=${NOISE_SECONDS:-1.5}
curve="100:0,5000:-3,10000:-15,20000:-24"

if [ -n "$input" ] && [ ! -f "$input" ]; then
  echo "demo.sh: no such file: $input" >&2
  exit 1
fi
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)
[ -z "$input" ] || input=$(cd "$(dirname "$input")" && pwd)/$(basename "$input")

cd "$here"
scripts/setup-debian.sh
echo "building the Windows plug-in and host (build/windows) ..."
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/windows -j "${VEXLAN_JOBS:-2}" --target vexlan vexlan-host >/dev/null
host_exe=$here/build/windows/bin/vexlan-host.exe

# The Windows program gets paths relative to the output folder, which Wine
# understands without translation.
vexlan_host() {
  (cd "$outdir" && "$here/scripts/wine-run.sh" "$host_exe" "$@") | tr -d '\r'
}

if [ -n "$input" ]; then
  cp "$input" "$outdir/original.wav"
else
  vexlan_host demo-signal original.wav
fi
vexlan_host process original.wav subtract.wav --learn-noise original.wav --noise-seconds "$noise_seconds"
vexlan_host process original.wav eq.wav --curve "$curve"

# RMS over the noise-only start, in dBFS ("-inf" for silence).
noise_floor() {
  vexlan_host levels "$1" --to "$noise_seconds" | sed -n 's/.*RMS \([^ ]*\) dBFS.*/\1/p'
}
before=$(noise_floor original.wav)
after_subtract=$(noise_floor subtract.wav)
after_eq=$(noise_floor eq.wav)

change() {  # before after -> "(-12.3 dB)"
  awk -v b="$1" -v a="$2" 'BEGIN {
    if (a == "-inf") { print "(silent)"; exit }
    printf "(%+.1f dB)\n", a - b }'
}

echo
echo "Demo files in $outdir:"
echo "  original.wav  the recording"
echo "  subtract.wav  Subtract mode, noise profile learnt from the first $noise_seconds s"
echo "  eq.wav        EQ curve $curve (Hz:dB)"
echo "Noise floor over the first $noise_seconds s (RMS):"
printf '  original.wav  %s dBFS\n' "$before"
printf '  subtract.wav  %s dBFS  %s\n' "$after_subtract" "$(change "$before" "$after_subtract")"
printf '  eq.wav        %s dBFS  %s\n' "$after_eq" "$(change "$before" "$after_eq")"
