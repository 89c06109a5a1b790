#!/usr/bin/env bash
# The shipping archives in one command:
#
#   scripts/package.sh
#
# writes into dist/ (TAVORIN_DIST_DIR):
#
#   tavorin-VERSION-linux-x86_64.tar.gz   libtavorin.so and tavorin-play
#   tavorin-VERSION-win32.zip             tavorin.dll, 32-bit (the product), and tavorin-play.exe
#   tavorin-VERSION-win64.zip             tavorin.dll, 64-bit, and tavorin-play.exe
#   tavorin-VERSION-SHA256SUMS            sha256sum -c reads it
#
# Each archive holds one folder, tavorin-VERSION-PLATFORM/, with what `cmake --install`
# installs of the components "plugin", "player" and "doc": the stripped library and its debug
# file (lib/ on Linux, bin/ on Windows), the player and its debug file in bin/ (on Windows with
# the FFmpeg and libpng DLLs beside it), PLAYING.txt (playing a file), share/doc/tavorin/README.md,
# and share/doc/tavorin/licences/ with the licences of what the binaries have linked in
# (Windows: Boost, SQLite, the GCC runtime and MinGW-w64's runtime with winpthreads, and the
# player's FFmpeg with its configure line, libpng and zlib; Linux: Boost's headers, and a list
# of the shared libraries the plug-in and the player need). VERSION is the project's version
# in CMakeLists.txt.
#
# It packages the build trees the test command leaves (build, build-win32, build-win64):
# they are RelWithDebInfo, the release optimisation with the debug information that the debug
# files keep. Only the plug-in and the player are brought up to date (nothing to do after the
# tests); a tree that is missing is configured with the shipped targets only and built. Sanitizer and debug
# trees are refused. At the end scripts/check-package.sh checks the archives.
#
# Environment: TAVORIN_BUILD_DIR (the Linux tree, default build), TAVORIN_WIN_BUILD_DIR (folder
# of build-win32 and build-win64, default the checkout), TAVORIN_DIST_DIR, TAVORIN_WINDEPS,
# JOBS (default 2).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
export TAVORIN_WINDEPS="${TAVORIN_WINDEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/tavorin-windeps}"
native="${TAVORIN_BUILD_DIR:-$root/build}"
winbuilds="${TAVORIN_WIN_BUILD_DIR:-$root}"
dist="${TAVORIN_DIST_DIR:-$root/dist}"
jobs="${JOBS:-2}"

log() { printf 'package: %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

PKG_TAG=package PKG_SCRIPTS="$root/scripts"
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"
# shellcheck disable=SC2046
pkg_install $(pkg_set packaging)

version="$(sed -n 's/^project(tavorin VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || die "no project version in CMakeLists.txt"

cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }

# A tree to package must be an optimised build with debug information and no sanitizer.
check_tree() {
  local dir="$1" type sanitize
  type="$(cache_value "$dir" CMAKE_BUILD_TYPE)"
  sanitize="$(cache_value "$dir" TAVORIN_SANITIZE)"
  # An empty type is the project's default, RelWithDebInfo.
  [ "$type" = RelWithDebInfo ] || [ -z "$type" ] || die "$dir is a '$type' build; packages are made from RelWithDebInfo"
  [ -z "$sanitize" ] || die "$dir is a sanitizer build ($sanitize)"
}

# The archives hold the player: a tree configured without it is turned to build it.
check_player_on() {
  [ "$(cache_value "$1" TAVORIN_BUILD_PLAYER)" = ON ] || cmake -S "$root" -B "$1" -DTAVORIN_BUILD_PLAYER=ON >/dev/null
}

# prepare_native / prepare_windows: the tree configured (when missing), the plug-in and the
# player built.
prepare_native() {
  if [ ! -f "$native/CMakeCache.txt" ]; then
    log "configuring $native (shipped targets only)"
    "$here/setup.sh" "$native" -DTAVORIN_BUILD_TESTS=OFF -DTAVORIN_BUILD_BENCH=OFF -DTAVORIN_BUILD_PLAYER=ON
  fi
  check_tree "$native"
  check_player_on "$native"
  cmake --build "$native" --target tavorin tavorin-play -j "$jobs"
}

deps_ready=0
prepare_windows() {
  local arch="$1" dir="$2"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    if [ "$deps_ready" -eq 0 ]; then
      "$here/windows-deps.sh" "$TAVORIN_WINDEPS"
      deps_ready=1
    fi
    log "configuring $dir (the DLLs only)"
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORIN_BUILD_TESTS=OFF -DTAVORIN_BUILD_BENCH=OFF \
      -DTAVORIN_BUILD_PLAYER=ON >/dev/null
  fi
  check_tree "$dir"
  check_player_on "$dir"
  cmake --build "$dir" --target tavorin tavorin-play -j "$jobs"
}

# First readable file of the list.
first_file() {
  local f
  for f in "$@"; do
    [ -r "$f" ] && { echo "$f"; return; }
  done
  return 1
}

boost_licence() {
  local f
  for f in /usr/share/doc/libboost-thread1.*/copyright /usr/share/doc/libboost*/copyright; do
    [ -r "$f" ] && grep -q 'Boost Software License' "$f" && { echo "$f"; return; }
  done
  die "no Boost licence under /usr/share/doc (libboost-thread-dev installs it)"
}

# licences_windows <folder> <Debian architecture name of MinGW-w64: i686 or x86-64>
licences_windows() {
  local out="$1" arch="$2" f
  cp "$(boost_licence)" "$out/boost.txt"
  f="$(first_file /usr/share/doc/libsqlite3-0/copyright /usr/share/doc/libsqlite3-dev/copyright)" ||
    die "no SQLite notice under /usr/share/doc (libsqlite3-dev installs it)"
  cp "$f" "$out/sqlite.txt"
  f="$(first_file "/usr/share/doc/gcc-mingw-w64-$arch-posix-runtime/copyright" \
                  /usr/share/doc/gcc-mingw-w64-base/copyright)" || die "no GCC runtime licence of MinGW-w64"
  grep -q 'GCC RUNTIME LIBRARY EXCEPTION' "$f" || die "$f lacks the GCC Runtime Library Exception"
  cp "$f" "$out/gcc-runtime.txt"
  f="$(first_file "/usr/share/doc/mingw-w64-$arch-dev/copyright" /usr/share/doc/mingw-w64-common/copyright)" ||
    die "no MinGW-w64 runtime licence"
  grep -q 'winpthreads' "$f" || die "$f does not cover winpthreads"
  cp "$f" "$out/mingw-w64-runtime.txt"
  cat >"$out/README.txt" <<EOF
tavorin.dll has these libraries linked in statically; their licences:

  boost.txt              Boost (Boost.Thread and header-only parts), Boost Software License 1.0
  sqlite.txt             SQLite, public domain
  gcc-runtime.txt        libstdc++ and libgcc, GPL 3 with the GCC Runtime Library Exception
  mingw-w64-runtime.txt  MinGW-w64's runtime and winpthreads (the "Files:
                         mingw-w64-libraries/winpthreads/*" entry), MIT/ZPL-style licences

It imports only Windows' own DLLs.

tavorin-play.exe has the same runtime libraries linked in; the DLLs beside it are

  ffmpeg.txt             FFmpeg's avcodec, avformat, avutil and swscale DLLs, LGPL 2.1 or
                         later, built from Debian's ffmpeg source package as
                         ffmpeg-configuration.txt says
  libpng.txt             libpng16.dll, the libpng licence
  zlib.txt               zlib, linked into libpng16.dll, the zlib licence
EOF
}

# licences_linux <folder> <library> <player>
licences_linux() {
  local out="$1" library="$2" player="$3"
  cp "$(boost_licence)" "$out/boost.txt"
  {
    echo "libtavorin.so has Boost's header-only parts compiled in (boost.txt, Boost Software"
    echo "License 1.0). It links nothing in statically and needs these shared libraries, each"
    echo "under its own licence, from the system it runs on:"
    echo
    readelf -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/  \1/p'
    echo
    echo "tavorin-play links nothing in statically either; it needs these shared libraries:"
    echo
    readelf -d "$player" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/  \1/p'
  } >"$out/README.txt"
}

# stage <build tree> <platform>: the install tree of the shipped components, with licences.
stage() {
  local dir="$1" platform="$2" folder
  folder="$dist/stage/tavorin-$version-$platform"
  rm -rf "$folder"
  for component in plugin player doc; do
    cmake --install "$dir" --prefix "$folder" --component "$component" >/dev/null
  done
  mkdir -p "$folder/share/doc/tavorin/licences"
  echo "$folder"
}

start=$(date +%s)
mkdir -p "$dist"
dist="$(cd "$dist" && pwd)"
rm -f "$dist"/tavorin-*-linux-x86_64.tar.gz "$dist"/tavorin-*-win32.zip "$dist"/tavorin-*-win64.zip \
  "$dist"/tavorin-*-SHA256SUMS

prepare_native
prepare_windows i686 "$winbuilds/build-win32"
prepare_windows x86_64 "$winbuilds/build-win64"

folder="$(stage "$native" linux-x86_64)"
licences_linux "$folder/share/doc/tavorin/licences" "$folder/lib/libtavorin.so" "$folder/bin/tavorin-play"
tar -C "$dist/stage" --sort=name --owner=0 --group=0 --numeric-owner \
  -czf "$dist/tavorin-$version-linux-x86_64.tar.gz" "tavorin-$version-linux-x86_64"

for pair in "win32 build-win32 i686" "win64 build-win64 x86-64"; do
  set -- $pair
  folder="$(stage "$winbuilds/$2" "$1")"
  licences_windows "$folder/share/doc/tavorin/licences" "$3"
  (cd "$dist/stage" && zip -q -r -X "$dist/tavorin-$version-$1.zip" "tavorin-$version-$1")
done

(cd "$dist" && sha256sum "tavorin-$version-linux-x86_64.tar.gz" "tavorin-$version-win32.zip" \
  "tavorin-$version-win64.zip" >"tavorin-$version-SHA256SUMS")
rm -rf "$dist/stage"
log "archives written in $(( $(date +%s) - start )) s:"
(cd "$dist" && ls -l "tavorin-$version-"*) >&2

"$here/check-package.sh" "$dist" "$version" "$native"
