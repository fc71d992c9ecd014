#!/usr/bin/env bash
# Installs what is missing, builds, and starts Namorix. Arguments go to the app.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh
exec "${NAMORIX_BUILD_DIR:-build}/src/namorix" "$@"
