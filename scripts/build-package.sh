#!/usr/bin/env bash
# Builds the Debian package namorix_<version>_<arch>.deb in build/ (or $NAMORIX_BUILD_DIR) and
# checks it (scripts/check-package.sh). Only the app and the command line are built for it, not the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
build_dir=${NAMORIX_BUILD_DIR:-build}
[ -f "$build_dir/CMakeCache.txt" ] ||
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${NAMORIX_BUILD_TYPE:-RelWithDebInfo}"
cmake --build "$build_dir" -j2 --target namorix namorix-cli namorix-cli-man
(cd "$build_dir" && cpack -G DEB)
package=$(ls -t "$build_dir"/namorix_*.deb | head -n 1)
bash scripts/check-package.sh "$package"
echo "package: $package"
