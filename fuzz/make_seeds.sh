#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target: the pages of examples/, and the index files that a
# real run of the program writes for them, each in its target's input format (see the head
# comment of each *_fuzz.cpp).
#
#   fuzz/make_seeds.sh <corvex program> <seeds dir>
set -euo pipefail
corvex=$1
seeds=$2
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -rf "$seeds"
for t in html_read result_text index lnk cmdline url_template; do mkdir -p "$seeds/${t}_fuzz"; done

# A real index of the sample site.
mkdir -p "$work/index"
printf '%s\n' "$source_dir/examples" > "$work/roots"
ASAN_OPTIONS=detect_leaks=0 "$corvex" -u Haus "$work/index" "$work/roots" > /dev/null 2>&1

n=0
seed() {  # seed <target> <file>: takes the bytes of stdin
  cat > "$seeds/${1}_fuzz/$2"
}

pages=$(find "$source_dir/examples" -name '*.html' | sort)
for page in $pages; do
  n=$((n + 1))
  seed html_read "page$n" < "$page"
  # settings byte: excerpt length 300 (6 << 1), size limit 150 kB (3 << 4); 0x01 ignores case
  { printf '\x3cHaus\n'; cat "$page"; } | seed result_text "haus$n"
  { printf '\x3dgarten see\n'; cat "$page"; } | seed result_text "two$n"
  { printf '\x38K.*e|Wohnung [a-z]+\n'; cat "$page"; } | seed result_text "regex$n"
done

{ printf 'f'; cat "$work/index/files"; } | seed index files
{ printf 'g\x00Haus\n'; cat "$work/index/global_index"; } | seed index lookup
{ printf 'g\x01g.*en mit\n'; cat "$work/index/global_index"; } | seed index lookup-icase
{ printf 'u\x00'; cat "$work/index/global_index"; } | seed index update
printf 't\x00Garten' | seed index table-literal
printf 't\x00Wohn.* (Haus|See)' | seed index table-prefix
printf 't\x01.*en' | seed index table-icase
{ printf 'u\x02'; cat "$work/index/global_index".* 2> /dev/null || true; } | seed index fingerprints
for list in "$work"/index/*.index; do
  n=$((n + 1))
  { printf 'w'; cat "$list"; } | seed index "words$n"
  { printf 'u\x01'; cat "$list"; } | seed index "update$n"
done

# Shortcuts: a 0x4C-byte header (flags at 0x14, attributes at 0x18), then the link information
# naming a local path C:\web\ with the suffix a.html, or a network share; and one without it.
header() {  # header <link flags byte> <attributes byte>
  printf 'L\0\0\0\x01\x14\x02\0'
  head -c 12 /dev/zero
  printf "\\x$1\\0\\0\\0\\x$2\\0\\0\\0"
  head -c 48 /dev/zero
}
{ header 02 20; printf '\x33\0\0\0\x1c\0\0\0\x01\0\0\0\0\0\0\0\x1c\0\0\0\0\0\0\0\x24\0\0\0'
  printf 'C:\\web\\\0a.html\0'; } | seed lnk local
{ header 02 10; printf '\x3f\0\0\0\x1c\0\0\0\x02\0\0\0\0\0\0\0\0\0\0\0\x1c\0\0\0\x3c\0\0\0'
  printf '\x14\0\0\0\0\0\0\0\x14\0\0\0\0\0\0\0\0\0\0\0\\\\srv\\share\0\\d\0'; } | seed lnk share
header 00 20 | seed lnk plain

printf 'Haus\0index\0roots' | seed cmdline plain
printf '%s\0' -viL300 -e .htm -n 'a;b' --multi -n c -r 0,5 Haus idx r1 r2 | seed cmdline options
printf '%s\0' -L 0x1F -x Haus | seed cmdline unknown
printf '%s\0' --help | seed cmdline help

printf '\x07C:\\web\\a b.html\0top\0c/web=docs\0http://host/\0<a href="$0">$2</a> $1 ($3)\0U\0Text\0Title\0  1.00' |
  seed url_template all
printf '\x00/srv/www/x.html\0\0\0\0$0 $0 $1$2$3\0u\0t\0T\0s' | seed url_template plain
echo "seeds: $(find "$seeds" -type f | wc -l) files in $seeds"
