#!/usr/bin/env bash
# Serves a site and its search through corvex-cgi under lighttpd on 127.0.0.1, on a free port.
#
#   scripts/serve.sh <build dir>     indexes examples/ and serves it in the foreground until Ctrl-C
#
# Sourced (by the gateway's tests), it only defines the functions below.
set -euo pipefail

# site_setup <work dir> <build dir> <site dir> [config lines...]: writes <work>/roots.txt, indexes
# the site into <work>/index with corvex -u (the index the gateway only reads), and writes the
# gateway's configuration <work>/corvex-cgi.conf: result URLs relative to the server's root, then
# the extra lines.
site_setup() {
  local work=$1 build=$2 site=$3
  shift 3
  mkdir -p "$work/index"
  printf '%s\n' "$site" > "$work/roots.txt"
  "$build/corvex" -u -m 0 zzzz "$work/index" "$work/roots.txt" > /dev/null 2> "$work/index.log"
  {
    echo "# written by scripts/serve.sh"
    echo "corvex = $build/corvex"
    echo "index_dir = $work/index"
    echo "root_list = $work/roots.txt"
    echo "url_exchange = $site="
    echo "site_title = Corvex sample site"
    printf '%s\n' "$@"
  } > "$work/corvex-cgi.conf"
}

# lighttpd_start <work dir> <build dir> <site dir> [<url path> <config file>]...: starts lighttpd
# in the background with <site> as document root and the gateway at /search (configuration
# <work>/corvex-cgi.conf) and at each further path with its own configuration. Sets PORT and
# LIGHTTPD_PID. The gateway's log lines (its standard error) go to <work>/gateway.log, the
# server's own to <work>/error.log. LIGHTTPD_EXTRA, when set, is added to the server's
# configuration.
lighttpd_start() {
  local work=$1 build=$2 site=$3
  shift 3
  local routes="" aliases="" path=/search config=$work/corvex-cgi.conf
  while :; do
    aliases+="${aliases:+, }\"$path\" => \"$build/corvex-cgi\""
    routes+="\$HTTP[\"url\"] == \"$path\" {
  cgi.assign = (\"\" => \"\")
  setenv.set-environment = (\"CORVEX_CGI_CONFIG\" => \"$config\")
}
"
    [ $# -ge 2 ] || break
    path=$1 config=$2
    shift 2
  done
  local attempt
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    PORT=$((20000 + RANDOM % 40000))
    cat > "$work/lighttpd.conf" <<CONF
server.modules = ("mod_alias", "mod_setenv", "mod_cgi")
server.document-root = "$site"
server.bind = "127.0.0.1"
server.port = $PORT
server.errorlog = "$work/error.log"
server.breakagelog = "$work/gateway.log"
index-file.names = ("index.html")
mimetype.assign = (".html" => "text/html", ".htm" => "text/html", ".css" => "text/css")
alias.url = ($aliases)
$routes
${LIGHTTPD_EXTRA:-}
CONF
    : > "$work/error.log"
    : > "$work/gateway.log"
    lighttpd -D -f "$work/lighttpd.conf" &
    LIGHTTPD_PID=$!
    local i
    for i in $(seq 50); do
      if ! kill -0 "$LIGHTTPD_PID" 2> /dev/null; then break; fi
      if curl -s -o /dev/null "http://127.0.0.1:$PORT/"; then return 0; fi
      sleep 0.1
    done
    lighttpd_stop
  done
  echo "lighttpd did not start; see $work/error.log" >&2
  return 1
}

lighttpd_stop() {
  if [ -n "${LIGHTTPD_PID:-}" ]; then
    kill "$LIGHTTPD_PID" 2> /dev/null || true
    wait "$LIGHTTPD_PID" 2> /dev/null || true
    LIGHTTPD_PID=
  fi
}

serve_main() {
  local build source work
  build=$(cd "$1" && pwd)
  source=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  work=$build/serve
  command -v lighttpd > /dev/null || { echo "lighttpd is not installed (apt-get install lighttpd)" >&2; exit 1; }
  site_setup "$work" "$build" "$source/examples" "allow_regex = yes"
  trap lighttpd_stop EXIT
  trap 'exit 0' INT TERM
  lighttpd_start "$work" "$build" "$source/examples"
  echo "Serving the sample site at http://127.0.0.1:$PORT/ and its search at" \
       "http://127.0.0.1:$PORT/search (the search's log: $work/gateway.log). Ctrl-C stops."
  wait "$LIGHTTPD_PID"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then serve_main "${1:-build}"; fi
