#!/usr/bin/env bash
# How fast two builds of Corvex are on the same trees, measured back to back in one run so the
# ratio means something on a shared machine: the full index build (a fresh index directory each
# time) and searches given as "label<TAB>search" lines, each through hyperfine -N (a search that
# finds nothing exits with 1, and still counts). Prints one table row per figure: the old and the
# new median in ms and new/old. compare_builds.sh tells whether the two give the same results;
# this only times them.
#
#   bench/compare_speed.sh <old corvex> <new corvex> <queries file> <tree> [tree ...]
#
# Environment: RUNS (30 per search, 10 per build), WORK (a temporary folder).
set -eu
[ $# -ge 4 ] || { echo "usage: $0 <old corvex> <new corvex> <queries> <tree> [tree ...]" >&2; exit 2; }
OLD=$(readlink -f "$1"); NEW=$(readlink -f "$2"); QUERIES=$(readlink -f "$3"); shift 3
command -v hyperfine > /dev/null || { echo "$0: needs hyperfine" >&2; exit 2; }
WORK=${WORK:-$(mktemp -d)}
RUNS=${RUNS:-30}

# medians <json>: the two medians in ms and their ratio.
medians() {
  python3 - "$1" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
old, new = (x["median"] * 1000 for x in r)
print(f"{old:9.2f} {new:9.2f} {new / old:6.2f}")
PY
}

printf '%-10s %-28s %9s %9s %6s\n' tree what old_ms new_ms ratio
for tree in "$@"; do
  name=$(basename "$tree")
  dir=$WORK/$name
  rm -rf "$dir"; mkdir -p "$dir/idx"
  readlink -f "$tree" > "$dir/roots"
  find "$(cat "$dir/roots")" -type f -exec cat {} + > /dev/null  # warm the page cache
  hyperfine -N -i -w 1 -r "$(( RUNS < 10 ? RUNS : 10 ))" --export-json "$dir/build.json" \
    --prepare "sh -c 'rm -rf $dir/b && mkdir $dir/b'" \
    "$OLD -u -m0 zzqq $dir/b $dir/roots" "$NEW -u -m0 zzqq $dir/b $dir/roots" > /dev/null 2>&1
  printf '%-10s %-28s %s\n' "$name" "full build" "$(medians "$dir/build.json")"
  "$NEW" -u -m0 zzqq "$dir/idx" "$dir/roots" > /dev/null 2>&1
  while IFS=$'\t' read -r label search; do
    [ -n "$label" ] || continue
    hyperfine -N -i -w 3 -r "$RUNS" --export-json "$dir/q.json" \
      "$OLD ' $search' $dir/idx $dir/roots" "$NEW ' $search' $dir/idx $dir/roots" > /dev/null 2>&1
    printf '%-10s %-28s %s\n' "$name" "$label '$search'" "$(medians "$dir/q.json")"
  done < "$QUERIES"
done
