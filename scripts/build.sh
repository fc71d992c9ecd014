#!/usr/bin/env bash
# Installs what is missing, then configures and builds Namorix into build/ (or $NAMORIX_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
build_dir=${NAMORIX_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${NAMORIX_BUILD_TYPE:-RelWithDebInfo}"
cmake --build "$build_dir" -j2
