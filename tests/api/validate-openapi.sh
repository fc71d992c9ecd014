#!/usr/bin/env bash
# Validates the OpenAPI document as the server sends it with an OpenAPI 3.1 validator from the
# npm registry. The validator is installed once into <cache dir>; later runs reuse it.
# Usage: validate-openapi.sh <dump_openapi binary> <cache dir>
set -euo pipefail
dump=$1
mkdir -p "$2"
cache=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

packages=(@seriousme/openapi-schema-validator@2 ajv@8)
stamp="${packages[*]}"
marker="$cache/installed-${stamp//[@\/ ]/-}"
if [ ! -e "$marker" ]; then
    npm install --prefix "$cache" --no-audit --no-fund --loglevel=error "${packages[@]}"
    touch "$marker"
fi

document="$cache/openapi-43821.json"
"$dump" 43821 > "$document"
node "$here/validate-openapi.mjs" "$cache/node_modules" "$document"
