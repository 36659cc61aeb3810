#!/usr/bin/env bash
# corvex-cgi under lighttpd on 127.0.0.1, asked with curl as browsers and visitors ask it.
#
#   tests/gateway/server_test.sh <build dir> <source dir> <make_tree program> <work dir>
#
# Starts lighttpd on a free port with the sample site (and a page made to inject markup), a
# generated tree for a costly search, an unbuilt index and a broken configuration; stops it and
# everything it started when done. Prints "N passed, M failed".
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
make_tree=$3
work=$4
. "$source/scripts/serve.sh"
set +e

rm -rf "$work" && mkdir -p "$work"
trap 'lighttpd_stop; [ -n "${updater:-}" ] && kill "$updater" 2> /dev/null' EXIT
passed=0 failed=0 requests=0
check() {  # check <what> <test command...>
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what" >&2; fi
}
# req <curl arguments...>: one request to the server; sets STATUS, HEAD (headers) and BODY.
req() {
  requests=$((requests + 1))
  STATUS=$(curl -s -D "$work/head" -o "$work/body" -w '%{http_code}' "$@")
  HEAD=$(cat "$work/head")
  BODY=$(cat "$work/body" 2> /dev/null)
  # Every answer says its charset and its status, and forbids sniffing.
  check "charset in $*" grep -qi '^Content-Type: text/html; charset=utf-8' "$work/head"
  check "nosniff in $*" grep -qi '^X-Content-Type-Options: nosniff' "$work/head"
}
has() { [[ "$BODY" == *"$1"* ]]; }
lacks() { ! grep -qi -- "$1" <<< "$BODY"; }
is() { [ "$1" = "$2" ] || { echo "  got '$1', wanted '$2'" >&2; false; }; }

site=$work/site
cp -r "$source/examples" "$site"
cat > "$site/evil.html" <<'HTML'
<html><head><title>"><img src=x onerror=alert(1)> &lt;script&gt;alert(2)&lt;/script&gt; Evil</title></head>
<body><p>Evil: "><img src=x onerror=alert(3)> &lt;script&gt;alert(4)&lt;/script&gt; a < b & c > d</p></body></html>
HTML
site_setup "$work" "$build" "$site" "allow_regex = yes" "page_size = 3"
mkdir -p "$work/slow/site" "$work/empty"
"$make_tree" "$work/slow/site" 2000 5000 > /dev/null
site_setup "$work/slow" "$build" "$work/slow/site" "allow_regex = yes" "max_results = 2000" \
  "cpu_seconds = 1" "wall_seconds = 1"
printf 'index_dir = %s\nroot_list = %s\n' "$work/empty" "$work/roots.txt" > "$work/noindex.conf"
printf 'index_dir = %s\nroot_list = %s\npage_size = ten\n' "$work/index" "$work/roots.txt" \
  > "$work/bad.conf"
# lighttpd itself refuses control bytes in a URL; the gateway must refuse them as well.
LIGHTTPD_EXTRA='server.http-parseopts = ("url-ctrls-reject" => "disable")'
lighttpd_start "$work" "$build" "$site" /slow "$work/slow/corvex-cgi.conf" \
  /noindex "$work/noindex.conf" /bad "$work/bad.conf" || exit 1
url=http://127.0.0.1:$PORT
index_before=$(ls -l --time-style=full-iso "$work/index")

# Option and help words are searched as words: Corvex neither updates nor prints its help.
for word in -h --help -u /? /h -Haus; do
  req "$url/search?q=$(python3 -c 'import sys,urllib.parse;print(urllib.parse.quote(sys.argv[1]))' "$word")"
  check "$word: status" is "$STATUS" 200
  check "$word: heading" has "<h1>Results for “$word”</h1>"
  check "$word: no error page" lacks "Error calling Corvex"
done
check "-u left the index alone" is "$(ls -l --time-style=full-iso "$work/index")" "$index_before"

for byte in %00 %1F %7F; do
  req "$url/search?q=a${byte}b"
  check "$byte refused" is "$STATUS" 400
done

req "$url/search?q=K%C3%BCche"
check "Küche: status" is "$STATUS" 200
check "Küche: heading" has "<h1>Results for “Küche”</h1>"
check "Küche: row" has 'href="/de/kueche.html"'
req "$url/search?q=K%C3%BCche+%E2%82%AC"
check "€: status" is "$STATUS" 400
check "€: named" has "cannot be searched: “€” (U+20AC)"

req "$url/search?q=Haus&start=3"
get=$BODY
req --data "q=Haus&start=3" "$url/search"
check "POST equals GET" is "$BODY" "$get"
check "POST: next page" has "Results 4–6 of"
req -X POST -H "Content-Type: text/plain" --data "q=Haus" "$url/search"
check "POST of another type refused" is "$STATUS" 400
req -I "$url/search?q=Haus+HEAD"
check "HEAD: status" is "$STATUS" 200
sleep 0.1
check "HEAD: Corvex not run" grep -q 'HEAD ok q="Haus HEAD" rows=- exit=- ' "$work/gateway.log"

req "$url/search?q=%3Cscript%3Ealert(1)%3C/script%3E%22%3E%3Cimg+src%3Dx%3E+Evil"
check "injected query: nothing found" has "No page matched."
check "injected query: heading escaped" has "“&lt;script&gt;alert(1)&lt;/script&gt;&quot;&gt;&lt;img src=x&gt; Evil”"
check "injected query: value escaped" has 'value="&lt;script&gt;alert(1)&lt;/script&gt;&quot;&gt;&lt;img src=x&gt; Evil"'
check "injected query: no script" lacks "<script"
check "injected query: no img" lacks "<img"
req "$url/search?q=Evil"
check "injected page: found" has 'href="/evil.html"'
check "injected page: no script" lacks "<script"
check "injected page: no img" lacks "<img"

req "$url/search?q=Gar(ten&re=1"
check "bad pattern: status" is "$STATUS" 400
check "bad pattern: named" has "“Gar(ten” is not a valid regular expression"
check "bad pattern: no library text" lacks ">>>HERE"
req "$url/search?q=$(printf 'a%.0s' $(seq 257))"
check "long query refused" is "$STATUS" 400
req "$url/search?q=a+b+c+d+e+f+g+h+i+j+k+a"
check "eleven terms refused" is "$STATUS" 400
req "$url/search?q=a+b+c+d+e+f+g+h+i+j+a+b"
check "ten terms searched" is "$STATUS" 200

started=$(date +%s%N)
req "$url/slow?re=1&q=$(printf '.*%.0s' $(seq 50))"
elapsed=$((($(date +%s%N) - started) / 1000000))
check "costly search: 503" is "$STATUS" 503
check "costly search: within 2 s (took $elapsed ms)" test "$elapsed" -lt 2000
check "costly search: Corvex gone" is "$(pgrep -f -- "$work/slow/index")" ""

req "$url/noindex?q=Haus"
check "no index: 503" is "$STATUS" 503
check "no index: said" has "not built yet"
req "$url/bad?q=Haus"
check "bad configuration: 500" is "$STATUS" 500
check "bad configuration: hidden" lacks "page_size"
check "bad configuration: logged" grep -q "bad.conf:3: 'ten' is not a whole number" "$work/gateway.log"

# Twenty searches at once while the index is rebuilt: every page complete.
( while :; do "$build/corvex" -u -m 0 zzzz "$work/index" "$work/roots.txt" > /dev/null 2>&1; done ) &
updater=$!
for k in $(seq 20); do
  curl -s -o "$work/parallel.$k" -w '%{http_code}\n' "$url/search?q=Haus+See" > "$work/status.$k" &
done
wait $(jobs -p | grep -v "^$updater\$" | grep -v "^$LIGHTTPD_PID\$") 2> /dev/null
kill "$updater" && wait "$updater" 2> /dev/null
updater=
requests=$((requests + 20))
complete=0
for k in $(seq 20); do
  [ "$(cat "$work/status.$k")" = 200 ] && grep -q "Results 1–3 of" "$work/parallel.$k" &&
    tail -c 8 "$work/parallel.$k" | grep -q '</html>' && complete=$((complete + 1))
done
check "20 parallel searches during an update complete ($complete)" is "$complete" 20

sleep 0.2
check "one log line per request" is "$(grep -c '^corvex-cgi: ' "$work/gateway.log")" "$requests"
check "nothing else logged" is "$(grep -vc '^corvex-cgi: ' "$work/gateway.log")" 0
lighttpd_stop
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
