#!/bin/sh
# Whole-process figures of the index: full build, a run without changes, an update after one
# page changed, lookups of several kinds, and peak memory. Prints figures; never fails on a time.
#
#   bench/index_bench.sh [corvex binary] [work dir]
#
# Environment: PAGES (20000), PAGE_BYTES (5000), PER_DIR (25), RUNS (5, lookups are the best of
# RUNS). The synthetic tree is made once per work dir and reused.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/synthetic_tree.sh"
HTML_BYTES=$(find web -name '*.html' -printf '%s\n' | awk '{s += $1} END {print s}')
cat web/*/*/*.html > /dev/null  # warm cache

# run <label> <args...>: one timed run; sets SECONDS_TAKEN (processor time, user + system: the
# machine may be shared, so wall time would count other processes), WALL and PEAK_KB.
run() {
  label=$1
  shift
  /usr/bin/time -f '%U %S %e %M' -o time.out "$BIN" "$@" idx roots > /dev/null 2> err.out || {
    echo "$label: corvex failed:"; cat err.out; exit 1; }
  SECONDS_TAKEN=$(awk '{printf "%.3f", $1 + $2}' time.out)
  WALL=$(cut -d' ' -f3 time.out)
  PEAK_KB=$(cut -d' ' -f4 time.out)
}

# best <label> <args...>: the best of RUNS runs.
best() {
  label=$1
  b=""
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    run "$@"
    if [ -z "$b" ] || awk "BEGIN {exit !($SECONDS_TAKEN < $b)}"; then b=$SECONDS_TAKEN; fi
    i=$((i + 1))
  done
  SECONDS_TAKEN=$b
}

rm -rf idx && mkdir idx
run "full build" -u -m 0 zzzzzz
FULL=$SECONDS_TAKEN
GI=$(stat -c %s idx/global_index)
WL=$(cat idx/*.index | wc -c)
awk -v p="$PAGES" -v b="$HTML_BYTES" -v t="$FULL" -v m="$PEAK_KB" -v g="$GI" -v w="$WL" 'BEGIN {
  printf "tree:            %d pages, %.1f MB of HTML\n", p, b / 1e6
  printf "full build:      %.2f s  %.0f files/s  %.1f MB/s of HTML  peak %.1f MB\n", t, p / t, b / 1e6 / t, m / 1024
  printf "index size:      global index %.1f MB, word lists %.1f MB\n", g / 1e6, w / 1e6 }'

best "no change" -m 0 zzzzzz
echo "no-change run:   $SECONDS_TAKEN s"

ONE=$(find web -name '*.html' | sort | head -n 1)
touch "$ONE"
sleep 1
touch "$ONE"
run "update" -u -m 0 zzzzzz
awk -v t="$SECONDS_TAKEN" -v f="$FULL" -v m="$PEAK_KB" 'BEGIN {
  printf "update, 1 page:  %.2f s  (%.1f%% of the full build)  peak %.1f MB\n", t, 100 * t / f, m / 1024 }'

# Lookups: -m 0 stops before any result page is searched, so the run is start-up plus lookup.
lookup() {
  label=$1
  shift
  best "$label" -m 0 "$@"
  awk -v l="$label" -v t="$SECONDS_TAKEN" -v g="$GI" -v m="$PEAK_KB" 'BEGIN {
    printf "lookup %-16s %.3f s  %.0f MB/s of global index  peak %.1f MB\n", l ":", t, g / 1e6 / (t > 0 ? t : 0.001), m / 1024 }'
}
RARE=$(tail -c 4000 "$ONE" | tr -c 'a-zA-Z' '\n' | awk 'length($0) > 12' | tail -n 1)
lookup "rare literal" "${RARE:-Zzzzzzzz}"
lookup "common literal" und
lookup "two terms" "und Haus"
lookup "regex" "haus.*ung"
lookup "-i literal" -i HAUS
echo "(processor seconds, user + system, of one process per figure; lookups best of $RUNS;"
echo " work dir $WORK)"
