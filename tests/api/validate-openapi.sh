#!/usr/bin/env bash
# Validates the OpenAPI document as the server sends it with the validator the build installed.
# Usage: validate-openapi.sh <dump_openapi binary> <the validator's node_modules>
set -euo pipefail
dump=$1 modules=$2
here=$(cd "$(dirname "$0")" && pwd)
document=$(mktemp --suffix=.json)
trap 'rm -f "$document"' EXIT
"$dump" 43821 > "$document"
node "$here/validate-openapi.mjs" "$modules" "$document"
