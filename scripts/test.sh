#!/bin/sh
# Builds everything and runs every test: the regular build, then the same tests under
# AddressSanitizer with UndefinedBehaviorSanitizer and under ThreadSanitizer, then the Windows
# DLLs (32- and 64-bit, cross-built) with their tests under 32- and 64-bit Wine and an engine
# client built for the Windows compilers' ABI driving both, and at the end the three shipping
# archives made from those build trees and checked (scripts/package.sh).
set -eu
cd "$(dirname "$0")/.."
jobs="$(nproc 2>/dev/null || echo 2)"

# Every package the run needs, in one go at the start (each step below would install its own
# otherwise), so that a package that cannot be had stops the run in its first minutes.
PKG_TAG=test PKG_SCRIPTS="$(pwd)/scripts"
. scripts/packages.sh
# shellcheck disable=SC2046
pkg_install $(pkg_set native windows packaging)

run_suite() {
  build="$1"; shift
  echo "== $build"
  scripts/setup.sh "$build" "$@"
  (cd "$build" && ctest --output-on-failure -j "$jobs")
}

run_suite build -DTAVORIN_WERROR=ON
run_suite build-asan -DTAVORIN_WERROR=ON -DTAVORIN_SANITIZE=address -DTAVORIN_BUILD_BENCH=OFF -DTAVORIN_BUILD_PLAYER=ON
run_suite build-tsan -DTAVORIN_WERROR=ON -DTAVORIN_SANITIZE=thread -DTAVORIN_BUILD_BENCH=OFF -DTAVORIN_BUILD_PLAYER=ON
echo "== Windows"
scripts/windows-build.sh
echo "== Packages"
scripts/package.sh
echo "all tests passed"
