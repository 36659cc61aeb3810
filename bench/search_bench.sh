#!/bin/sh
# Whole-process figures of searches, from process start to the page printed: a rare word, a
# common word with the default -m 500, two terms and -i, on the synthetic tree of the index
# benchmark. Each search is also run with -m 0 (start-up and lookup only), so the difference is
# the time spent reading, scoring and rendering the result pages. Prints figures; never fails on
# a time.
#
#   bench/search_bench.sh [corvex binary] [work dir]
#
# Environment: PAGES (20000), PAGE_BYTES (5000), PER_DIR (25), RUNS (5; each figure is the best
# of RUNS). The tree and its index are made once per work dir (shared with index_bench.sh).
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/synthetic_tree.sh"
mkdir -p idx
[ -f idx/global_index ] || "$BIN" -u -m 0 zzzzzz idx roots > /dev/null 2>&1
cat web/*/*/*.html > /dev/null  # warm cache

# best <args...>: the best of RUNS runs; sets CPU (processor seconds, user + system: the machine
# may be shared, so wall time counts other processes too), WALL, PEAK_KB, PAGE_KB and RESULTS.
best() {
  CPU=""
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    /usr/bin/time -f '%U %S %e %M' -o time.out "$BIN" "$@" idx roots > page.out 2> err.out || {
      echo "corvex $*: failed:"; cat err.out; exit 1; }
    c=$(awk '{printf "%.3f", $1 + $2}' time.out)
    if [ -z "$CPU" ] || awk "BEGIN {exit !($c < $CPU)}"; then
      CPU=$c
      WALL=$(cut -d' ' -f3 time.out)
      PEAK_KB=$(cut -d' ' -f4 time.out)
    fi
    i=$((i + 1))
  done
  PAGE_KB=$(($(wc -c < page.out) / 1024))
  RESULTS=$(grep -c 'Score:' page.out || true)
}

# search <label> <args...>
search() {
  label=$1
  shift
  best -m 0 "$@"
  LOOKUP=$CPU
  best "$@"
  awk -v l="$label" -v c="$CPU" -v w="$WALL" -v k="$LOOKUP" -v r="$RESULTS" -v p="$PAGE_KB" \
      -v m="$PEAK_KB" 'BEGIN {
    printf "%-30s %.3f s cpu  %.2f s wall  start+lookup %.3f s  results %.3f s for %d  (page %d kB, peak %.1f MB)\n",
      l ":", c, w, k, c - k, r, p, m / 1024 }'
}

# A rare word: of the long words of the last page, the one that the fewest pages hold.
LAST=$(find web -name '*.html' | sort | tail -n 1)
RARE=Zzzzzzzz
FEWEST=""
for w in $(tr -c 'a-zA-Z' '\n' < "$LAST" | awk 'length($0) > 6' | sort -u | head -n 60); do
  n=$("$BIN" -m 0 "$w" idx roots 2>&1 > /dev/null | awk '/^Overall results:/ {print NF - 2}')
  if [ -n "$n" ] && { [ -z "$FEWEST" ] || [ "$n" -lt "$FEWEST" ]; }; then RARE=$w; FEWEST=$n; fi
done
search "rare word ($RARE)" "$RARE"
search "common word (-m 500)" und
search "two terms" "und Haus"
search "-i" -i HAUS
echo "(best of $RUNS; processor seconds, user + system, of one process per figure; work dir $WORK)"
