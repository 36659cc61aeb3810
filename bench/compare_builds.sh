#!/usr/bin/env bash
# Whether two builds of Corvex give the same index files and the same pages: each tree is indexed
# with both programs (the index files must agree byte for byte, lookup tables aside, which name
# their index's inode and time), then searches for words picked from the index, their beginnings
# as prefixes, and pairs run with both on the first one's index, with several option sets; stdout,
# stderr and the exit status must agree. Prints one line per tree and every difference; exits 1
# when there is one.
#
#   bench/compare_builds.sh <old corvex> <new corvex> <tree> [tree ...]
#
# Environment: WORDS (30 per tree), WORK (a temporary folder).
set -u
[ $# -ge 3 ] || { echo "usage: $0 <old corvex> <new corvex> <tree> [tree ...]" >&2; exit 2; }
OLD=$(readlink -f "$1"); NEW=$(readlink -f "$2"); shift 2
WORK=${WORK:-$(mktemp -d)}
WORDS=${WORDS:-30}
failed=0
for tree in "$@"; do
  name=$(basename "$tree")
  dir=$WORK/$name
  rm -rf "$dir"; mkdir -p "$dir/a" "$dir/b"
  readlink -f "$tree" > "$dir/roots"
  "$OLD" -u -m0 zzqq "$dir/a" "$dir/roots" > /dev/null 2>&1
  "$NEW" -u -m0 zzqq "$dir/b" "$dir/roots" > /dev/null 2>&1
  for f in $(cd "$dir/a" && ls); do
    case $f in *.lookup) continue ;; esac
    cmp -s "$dir/a/$f" "$dir/b/$f" || { echo "index differs: $name $f"; failed=1; }
  done
  # Words of the global index, the rarest and the commonest among them.
  words=$(python3 - "$dir/a/global_index" "$WORDS" <<'PY'
import random, sys
data = open(sys.argv[1], 'rb').read()
pos = 0
def uint():
    global pos
    b = data[pos]
    n = 1 if b < 0x80 else 2 if b < 0xC0 else 3 if b < 0xE0 else 4 if b < 0xF0 else 5
    v = b & (0xFF, 0x3F, 0x1F, 0x0F, 0x00)[n - 1]
    for k in range(1, n):
        v = (v << 8) | data[pos + k]
    pos += n
    return v
def string():
    global pos
    length = uint() >> 1
    pos += length
    return data[pos - length:pos]
for _ in range(uint()):
    string()
entries = []
for _ in range(uint()):
    word = string()
    count = uint()
    for _ in range(count):
        uint()
    entries.append((count, word))
random.seed(3)
entries.sort()
picked = random.sample(entries, min(int(sys.argv[2]), len(entries))) + entries[-5:]
sys.stdout.buffer.write(b"\n".join(w for _, w in picked))
PY
)
  searches=0
  while IFS= read -r w; do
    [ -n "$w" ] || continue
    for opts in "" "-T -L 80" "-S4096" "-i" "-v -m 3" "-x -m 7 -v"; do
      for q in "$w" "$w.*" "${w:0:3}.* $w"; do
        searches=$((searches + 1))
        # shellcheck disable=SC2086
        "$OLD" $opts "$q" "$dir/a" "$dir/roots" > "$dir/out1" 2> "$dir/err1"; s1=$?
        # shellcheck disable=SC2086
        "$NEW" $opts "$q" "$dir/a" "$dir/roots" > "$dir/out2" 2> "$dir/err2"; s2=$?
        if ! cmp -s "$dir/out1" "$dir/out2" || ! cmp -s "$dir/err1" "$dir/err2" || [ $s1 != $s2 ]; then
          echo "search differs: $name [$opts] $q"
          failed=1
        fi
      done
    done
  done <<< "$words"
  echo "$name: index compared, $searches searches compared"
done
exit $failed
