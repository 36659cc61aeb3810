#!/usr/bin/env bash
# The search in a real browser: headless Chromium, driven through chromedriver, submits the form
# of corvex-cgi under lighttpd on 127.0.0.1 (see browser_drive.py for the checks). Stops the
# server, the driver and the browser when done; keeps the screenshot in the work folder.
#
#   tests/gateway/browser_test.sh <build dir> <source dir> <work dir>
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$3
. "$source/scripts/serve.sh"
set +e
rm -rf "$work" && mkdir -p "$work"
trap lighttpd_stop EXIT

site_setup "$work" "$build" "$source/examples" "page_size = 3"
lighttpd_start "$work" "$build" "$source/examples" || exit 1
python3 "$source/tests/gateway/browser_drive.py" "http://127.0.0.1:$PORT/search" "$work"
status=$?
echo "screenshot: $work/search.png"
exit $status
