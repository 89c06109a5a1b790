#!/bin/sh
# Installs what is missing (Debian 12, as root), then configures and builds one build tree.
#   scripts/setup.sh [build-dir] [extra cmake arguments...]
# Idempotent: quick when everything is present and the tree is up to date.
set -eu
cd "$(dirname "$0")/.."

PKG_TAG=setup PKG_SCRIPTS="$(pwd)/scripts"
. scripts/packages.sh
# shellcheck disable=SC2046
pkg_install $(pkg_set native)

build="${1:-build}"
[ $# -gt 0 ] && shift
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$jobs"
