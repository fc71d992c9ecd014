#!/usr/bin/env bash
# Prints the size of the test suite against the code: non-blank lines of tests/ (C++, Python,
# shell, JavaScript) over non-blank lines of src/ (C++). The scripts that remake a test's stored
# fixture (make_*.py) are left out: no test runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
    local dir=$1
    shift
    find "$dir" -type f \( "$@" \) -not -path '*/__pycache__/*' -not -name 'make_*.py' -print0 |
        xargs -0 cat | grep -cv '^[[:space:]]*$'
}
tests=$(count tests -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' -o -name '*.mjs')
src=$(count src -name '*.cpp' -o -name '*.h')
awk -v t="$tests" -v s="$src" 'BEGIN { printf "tests %d / src %d non-blank lines = %.1f %%\n", t, s, 100 * t / s }'
