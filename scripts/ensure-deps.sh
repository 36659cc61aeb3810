#!/usr/bin/env bash
# Installs the Debian packages that building, testing or serving Corvex needs, but only those
# that are missing. As a non-root user it names the command to run instead.
#
#   scripts/ensure-deps.sh [build|test|serve]     (default: build)
set -euo pipefail
packages=(cmake make g++ pkg-config libboost-regex-dev libgtest-dev libbenchmark-dev
          clang libclang-rt-14-dev)
case "${1:-build}" in
  build) ;;
  # The gateway's tests run it under lighttpd, ask it with curl and drive Chromium through
  # chromedriver with a python3 script; the man pages are checked with man.
  test) packages+=(lighttpd curl chromium chromium-driver python3 man-db) ;;
  serve) packages+=(lighttpd curl) ;;
  *) echo "usage: $0 [build|test|serve]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
line="apt-get update && apt-get install -y ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Corvex needs these Debian packages: ${missing[*]}" >&2
  echo "Run as root:  $line" >&2
  exit 1
fi
echo "Installing missing dependencies: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${missing[@]}"
