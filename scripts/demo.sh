#!/usr/bin/env bash
# Indexes the sample site in examples/ into a build-local index folder and prints the result page
# of one search on standard output.
#
#   scripts/demo.sh <path of corvex> [search string]
#
# The index lives next to the program (<build>/demo-index) and is brought up to date on every run
# (-u), so edits to the sample pages show at once. Result URLs are file:// links to the pages.
set -euo pipefail
corvex=$1
query=${2:-Haus}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "$(dirname "$corvex")" && pwd)
index_dir="$build_dir/demo-index"
roots="$build_dir/demo-roots.txt"
log="$build_dir/demo.log"

# Corvex takes a search typed on a UTF-8 terminal ('Küche') as it is and prints its page in
# ISO-8859-1; on a UTF-8 terminal the page is converted for display, redirected output keeps the
# bytes.
utf8_terminal=false
if [ "$(locale charmap 2>/dev/null)" = UTF-8 ] && command -v iconv > /dev/null; then
  utf8_terminal=true
fi
run() { "$corvex" -u -p "file://" "$query" "$index_dir" "$roots" 2> "$log"; }

mkdir -p "$index_dir"
printf '%s\n' "$source_dir/examples" > "$roots"
if $utf8_terminal && [ -t 1 ]; then
  run | iconv -f ISO-8859-1 -t UTF-8 || { cat "$log" >&2; exit 1; }
else
  run || { cat "$log" >&2; exit 1; }
fi
printf '\n\n(searched %s/examples for "%s"; index in %s, messages in %s)\n' \
  "$source_dir" "$query" "$index_dir" "$log" >&2
