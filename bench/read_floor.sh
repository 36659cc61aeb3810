#!/usr/bin/env bash
# How near searches come to the least they can cost while they read their candidate pages: for
# each search, times in one run (hyperfine -N, medians in ms) a process that does nothing, the
# same process reading the search's candidate pages and nothing else (read_floor), a search that
# finds nothing (start-up and lookup), and the search itself. The candidates are those the
# search lists with -v. Prints one row per search; never fails on a time.
#
#   bench/read_floor.sh <build dir> <index dir> <roots file> <search> [search ...]
#
# Environment: RUNS (40), WORK (a temporary folder). Needs a build with -DCORVEX_BENCH=ON
# (make bench) for build/bench/read_floor.
set -eu
[ $# -ge 4 ] || { echo "usage: $0 <build dir> <index> <roots> <search> [search ...]" >&2; exit 2; }
BUILD=$(readlink -f "$1"); INDEX=$(readlink -f "$2"); ROOTS=$(readlink -f "$3"); shift 3
BIN=$BUILD/corvex; FLOOR=$BUILD/bench/read_floor
[ -x "$FLOOR" ] || { echo "$0: $FLOOR missing: make bench" >&2; exit 2; }
command -v hyperfine > /dev/null || { echo "$0: needs hyperfine" >&2; exit 2; }
WORK=${WORK:-$(mktemp -d)}
RUNS=${RUNS:-40}

printf '%-28s %6s %9s %9s %9s %9s %9s\n' search pages read_MB nothing floor found search
for search in "$@"; do
  "$BIN" -v " $search" "$INDEX" "$ROOTS" 2>&1 > /dev/null |
    sed -n 's/^Search in \(.*\) \.\.\.$/\1/p' > "$WORK/pages" || true
  bytes=$("$FLOOR" "$WORK/pages")
  # A search that finds nothing exits with 1, and still counts (-i).
  hyperfine -N -i -w 5 -r "$RUNS" --export-json "$WORK/t.json" \
    "$FLOOR start" "$FLOOR $WORK/pages" \
    "$BIN zzqqxxjj $INDEX $ROOTS" "$BIN ' $search' $INDEX $ROOTS" > /dev/null 2>&1
  row=$(python3 - "$WORK/t.json" <<'PY'
import json, sys
print(" ".join(f"{x['median'] * 1000:9.2f}" for x in json.load(open(sys.argv[1]))["results"]))
PY
)
  printf '%-28s %6s %9.2f %s\n' "$search" "$(wc -l < "$WORK/pages")" \
    "$(echo "$bytes" | awk '{print $1 / 1e6}')" "$row"
done
echo "nothing: starting a program linked as corvex; floor: it reading the candidate pages;"
echo "found: a search that finds nothing; search: the search."
