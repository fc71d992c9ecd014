#!/usr/bin/env bash
# Installs what is missing (with the reference tools the benchmarks compare against), builds,
# and runs every benchmark. Each prints its figures and ratios against a baseline of the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --bench
bash scripts/build.sh
build_dir=${NAMORIX_BUILD_DIR:-build}
export OMP_THREAD_LIMIT=1
"$build_dir/bench/bench_namebuilder"
"$build_dir/bench/bench_grounding"
"$build_dir/bench/bench_privacy"
"$build_dir/bench/bench_history"
"$build_dir/bench/bench_extraction"
"$build_dir/bench/bench_pdftext"
"$build_dir/bench/bench_memory"
"$build_dir/bench/bench_sandbox"
"$build_dir/bench/bench_engine"
"$build_dir/bench/bench_ui"
# The on-device namer's accuracy and cost on a freshly generated evaluation set (made outside the
# tree; add --misses to list every wrong field).
if [ -x "$build_dir/bench/bench_localnamer" ]; then
    evalset=$(mktemp -d)
    python3 bench/evaluation/generate_evalset.py "$evalset/set"
    "$build_dir/bench/bench_localnamer" "$evalset/set"
    rm -rf "$evalset"
fi
# The REST API under load, against nginx: needs the app binary, which the build above made.
bash bench/bench_api.sh "$build_dir/src/namorix"
# The window's launch with a long history, on a virtual display.
bash bench/bench_launch.sh "$build_dir/src/namorix"
