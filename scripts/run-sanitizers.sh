#!/usr/bin/env bash
# Builds Namorix with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs the
# whole test suite there. Not part of CI (a sanitized build and run take about twice as long).
# Any sanitizer report fails the test that triggered it.
#   scripts/run-sanitizers.sh [ctest arguments…]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-asan"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNAMORIX_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j2

# Leaks in Qt's and fontconfig's global state at exit are not ours; memory errors and undefined
# behaviour are, and abort the process.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest --output-on-failure -j2 --timeout 900 "$@"
