#!/usr/bin/env bash
# Builds and runs every test suite:
#   native      the plug-in, host stand-in and tests on Linux
#   sanitizers  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   threads     the concurrency tests under ThreadSanitizer
#   windows     vexlan.dll and the tests cross-built with MinGW-w64, run under Wine in Xvfb
#   fuzz        every fuzz target: corpus replay and a bounded run each
# Usage: scripts/test.sh [suite ...]   (default: all, in that order)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
jobs=${VEXLAN_JOBS:-$(nproc)}
fuzz_seconds=${VEXLAN_FUZZ_SECONDS:-60}
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(native sanitizers threads windows fuzz)

configure_and_build() {  # folder, cmake options...
  local folder=$1; shift
  cmake -S . -B "$folder" -G Ninja "$@" >"$folder.configure.log" 2>&1 \
    || { cat "$folder.configure.log"; return 1; }
  cmake --build "$folder" -j "$jobs" >"$folder.build.log" 2>&1 \
    || { grep -E 'error|FAILED' "$folder.build.log" | head -40; return 1; }
}

run_native() {
  configure_and_build build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    ctest --test-dir build/native --output-on-failure
}

run_sanitizers() {
  configure_and_build build/sanitize -DCMAKE_BUILD_TYPE=Debug \
      -DVEXLAN_SANITIZE=address,undefined -DVEXLAN_BUILD_BENCHMARKS=OFF &&
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build/sanitize --output-on-failure
}

run_threads() {
  configure_and_build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVEXLAN_SANITIZE=thread -DVEXLAN_BUILD_BENCHMARKS=OFF &&
    TSAN_OPTIONS=halt_on_error=1 build/tsan/bin/vexlan-unit-tests --gtest_filter='Concurrency*' --gtest_brief=1
}

run_windows() {
  mkdir -p build
  configure_and_build build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    ctest --test-dir build/windows -R '^exports$' --output-on-failure &&
    xvfb-run -a ctest --test-dir build/windows --output-on-failure -E '^exports$'
}

run_fuzz() {
  scripts/fuzz.sh "$fuzz_seconds"
}

mkdir -p build
passed=0
failed=0
failed_names=()
for suite in "${suites[@]}"; do
  echo "=== $suite ==="
  if "run_$suite"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failed_names+=("$suite")
  fi
done
[ $failed -eq 0 ] || echo "failed suites: ${failed_names[*]}"
echo "suites: $passed passed, $failed failed"
[ $failed -eq 0 ]
