#!/usr/bin/env bash
# The main job: build vexlan.dll and show what a host sees, under Wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
scripts/setup-debian.sh
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/windows --target vexlan vexlan-host >/dev/null
cd build/windows/bin
"$here/scripts/wine-run.sh" vexlan-host.exe info vexlan.dll
