#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang in build-fuzz/ and runs each one for the
# given number of seconds (default 300), one after the other. Exits non-zero when a target
# finds a crash; the reproducer is left in build-fuzz/artifacts/<target>/.
#   scripts/run-fuzzers.sh [seconds] [target...]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-300}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_rtfreader fuzz_mailreader fuzz_xmltextcollector fuzz_htmltext fuzz_apirequest
    fuzz_presentationpackage fuzz_wordbinary fuzz_excelbinary fuzz_powerpointbinary fuzz_einvoicereader)

bash "$root/scripts/install-deps.sh" --fuzz
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

# Qt must not look for a display, and leaks in Qt's global state at exit are not ours.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

status=0
for target in "${targets[@]}"; do
    name="${target#fuzz_}"
    corpus="$build/corpus/$name"
    artifacts="$build/artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    echo "== $target for ${seconds}s"
    # The seeds stay untouched in the source tree; the grown corpus lives in build-fuzz.
    if ! "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
            -artifact_prefix="$artifacts/" -print_final_stats=1 \
            "$corpus" "$root/fuzz/corpus/$name" 2>"$build/$target.log"; then
        echo "!! $target failed; see $build/$target.log and $artifacts/" >&2
        status=1
    fi
    grep -E "^stat::number_of_executed_units|^Done|ERROR|SUMMARY" "$build/$target.log" || true
done
exit $status
