#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exit status: that of the test run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh
bash scripts/check-format.sh
cd "${NAMORIX_BUILD_DIR:-build}"
ctest --output-on-failure -j2 --timeout 600
