#!/bin/sh
# Installs what is missing (Debian 12, as root), then configures and builds one build tree.
#   scripts/setup.sh [build-dir] [extra cmake arguments...]
# Idempotent: quick when everything is present and the tree is up to date.
set -eu
cd "$(dirname "$0")/.."

PACKAGES="build-essential cmake pkg-config libboost-thread-dev libsqlite3-dev googletest libgtest-dev \
libbenchmark-dev libpixman-1-dev libpng-dev libx11-dev libxext-dev xvfb xauth \
libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libyuv-dev ffmpeg libcairo2-dev clang-16 python3"

missing=""
for package in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages and not root; install them with: apt-get install$missing" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

build="${1:-build}"
[ $# -gt 0 ] && shift
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$jobs"
