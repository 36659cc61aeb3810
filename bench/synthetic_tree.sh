# Sourced by the benchmark scripts, with HERE (the bench folder) set and their arguments
# [corvex binary] [work dir]: settles BIN, WORK and RUNS (environment, 5), and the tree's shape
# from the environment (PAGES, PAGE_BYTES, PER_DIR), makes the synthetic tree in $WORK/web once
# per shape (dropping an index of an earlier shape), changes into $WORK and writes the root
# directory list "roots".
BIN=$(cd "$(dirname "${1:-$HERE/../build/corvex}")" && pwd)/$(basename "${1:-corvex}")
WORK=${2:-/tmp/corvex-index-bench}
RUNS=${RUNS:-5}
PAGES=${PAGES:-20000}
PAGE_BYTES=${PAGE_BYTES:-5000}
PER_DIR=${PER_DIR:-25}

mkdir -p "$WORK"
cd "$WORK"
if [ ! -f tree.done ] || [ "$(cat tree.done)" != "$PAGES $PAGE_BYTES $PER_DIR" ]; then
  c++ -O2 -std=c++17 -o make_tree "$HERE/make_tree.cpp"
  rm -rf web idx
  ./make_tree web "$PAGES" "$PAGE_BYTES" "$PER_DIR"
  echo "$PAGES $PAGE_BYTES $PER_DIR" > tree.done
fi
echo "$WORK/web" > roots
