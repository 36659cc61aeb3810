#!/bin/sh
# Start-up cost of the program linked both ways: builds it once with the shared Boost.Regex and C++
# runtime (-DCORVEX_STATIC=OFF) beside the given build, then times a search that finds nothing on
# the sample site with each, one process per search (hyperfine -N, medians). Prints figures; never
# fails on a time.
#
#   bench/startup_bench.sh [build dir] [work dir]
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../build}" && pwd)
WORK=${2:-/tmp/corvex-startup-bench}
RUNS=${RUNS:-300}
mkdir -p "$WORK/index"
cmake -S "$HERE/.." -B "$WORK/shared" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVEX_TESTS=OFF \
  -DCORVEX_STATIC=OFF > "$WORK/build.log"
cmake --build "$WORK/shared" -j 2 --target corvex >> "$WORK/build.log"
echo "$HERE/../examples" > "$WORK/roots"
"$BUILD/corvex" -u zzzz "$WORK/index" "$WORK/roots" > /dev/null 2>&1
hyperfine -N --warmup 20 --runs "$RUNS" --export-markdown "$WORK/startup.md" \
  -n "shared runtime" "$WORK/shared/corvex zzzz $WORK/index $WORK/roots" \
  -n "static runtime" "$BUILD/corvex zzzz $WORK/index $WORK/roots" > /dev/null 2>&1
cat "$WORK/startup.md"
