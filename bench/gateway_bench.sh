#!/usr/bin/env bash
# The gateway's own cost per request: corvex-cgi answering a search beside corvex run alone with
# the same command line the gateway gives it, and beside env(1) starting corvex (the price of any
# process in between), taking turns, RUNS times each (medians of the wall times and of their
# paired differences; mean processor times, user + system, children included), on the sample
# site and on a synthetic tree (a common word, 200 results ranked).
# Also a refused request, where the gateway runs alone (hyperfine -N). Prints figures; never
# fails on a time.
#
#   bench/gateway_bench.sh [build dir] [work dir]
#
# Environment: RUNS (200).
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../build}" && pwd)
WORK=${2:-/tmp/corvex-gateway-bench}
RUNS=${RUNS:-200}
mkdir -p "$WORK"

# site <name> <root folder>: an index of the folder and a gateway configuration for it.
site() {
  mkdir -p "$WORK/$1/index"
  echo "$2" > "$WORK/$1/roots"
  "$BUILD/corvex" -u -m 0 zzzz "$WORK/$1/index" "$WORK/$1/roots" > /dev/null 2>&1
  printf 'corvex = %s\nindex_dir = %s\nroot_list = %s\n' "$BUILD/corvex" "$WORK/$1/index" \
    "$WORK/$1/roots" > "$WORK/$1/gw.conf"
}
site sample "$HERE/../examples"
if [ ! -d "$WORK/tree/web" ]; then
  c++ -O2 -std=c++17 -o "$WORK/make_tree" "$HERE/make_tree.cpp"
  mkdir -p "$WORK/tree/web"
  "$WORK/make_tree" "$WORK/tree/web" 2000 5000 > /dev/null
fi
site tree "$WORK/tree/web"

# compare <site> <query string> <search argument>: the gateway beside corvex alone, the two
# runs taking turns so that a change of the machine's load touches both alike.
compare() {
  echo "== $1: $2"
  python3 - "$BUILD" "$WORK/$1" "$2" "$3" "$RUNS" <<'PY'
import os, resource, statistics, subprocess, sys, time
build, site, query, search, runs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
env = {"CORVEX_CGI_CONFIG": site + "/gw.conf", "REQUEST_METHOD": "GET",
       "REMOTE_ADDR": "127.0.0.1", "QUERY_STRING": query}
gateway = [build + "/corvex-cgi"]
# The command line the gateway gives corvex for this query.
alone = [build + "/corvex", "-S", "150", "-L", "300", "-m", "200", "-i",
         "-t", "\x02\x1e$url$\x1f\x1e$title$\x1f\x1e$text$\x03\x1e", "-H", "\x0e$$$\x0f",
         "-d", " ", search, site + "/index", site + "/roots"]
def run(argv):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall * 1e3, (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1e3
# env(1) only execs corvex: the price of any process between a server and corvex.
cases = {"corvex-cgi": gateway, "env + corvex": ["/usr/bin/env"] + alone, "corvex alone": alone}
for _ in range(10):
    for argv in cases.values():
        run(argv)
res = {name: [] for name in cases}
for _ in range(runs):
    for name, argv in cases.items():
        res[name].append(run(argv))
base = res["corvex alone"]
for name, r in res.items():
    print("%-13s wall median %7.3f ms (paired difference to corvex alone: median %6.3f ms);"
          " CPU mean %7.3f ms" % (name, statistics.median(x[0] for x in r),
                                  statistics.median(a[0] - b[0] for a, b in zip(r, base)),
                                  statistics.mean(x[1] for x in r)))
PY
}
compare sample "q=Haus" " Haus"
compare tree "q=haus" " haus"
command -v hyperfine > /dev/null || exit 0
echo "== refused (control byte): the gateway alone, beside /bin/true"
CORVEX_CGI_CONFIG=$WORK/sample/gw.conf REQUEST_METHOD=GET QUERY_STRING='q=a%01' \
  hyperfine -N -w 20 -r "$RUNS" /bin/true "$BUILD/corvex-cgi" 2>&1 | grep -E 'Time' || true
