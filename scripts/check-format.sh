#!/usr/bin/env bash
# Fails when a C++ file of the project deviates from .clang-format; lists the files.
# Fix with: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing: run scripts/install-deps.sh" >&2; exit 1; }
deviating=()
while IFS= read -r file; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || deviating+=("$file")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#deviating[@]} -gt 0 ]; then
    echo "check-format: ${#deviating[@]} files deviate from .clang-format:" >&2
    printf '  %s\n' "${deviating[@]}" >&2
    exit 1
fi
echo "check-format: every C++ file follows .clang-format"
