#!/usr/bin/env bash
# The Windows builds in one command:
#
#   scripts/windows-build.sh
#
#  1. the third-party libraries for both architectures (scripts/windows-deps.sh; quick when
#     they are there already),
#  2. build-win32 and build-win64 with MinGW-w64, each the DLLs and the tests, one after the
#     other (through ccache when it is installed),
#  3. the export and import tables of tavorin.dll and KMC_Logging.dll on both architectures:
#     tavorin.dll exports exactly _getPlugin, and both import only Windows' own DLLs,
#  4. the 64-bit tests under 64-bit Wine and the 32-bit ones under 32-bit Wine, in one Wine
#     prefix on a private Xvfb (scripts/wine-env.sh); the scaled-channel tests also compare
#     their windows with the pictures a Linux build of the resampling writes (build-scaled-reference),
#  5. tavorin-play.exe of both architectures played through its DLL in that Wine
#     (scripts/windows-player-check.sh).
#
# Answers non-zero on any failure. Environment: TAVORIN_WINDEPS (the dependency prefix),
# TAVORIN_WIN_BUILD_DIR (folder of build-win32 and build-win64, default the checkout), JOBS
# (parallel jobs, default 2), TAVORIN_WINE_DIR (Xvfb, wineserver and Wine prefix, default
# build-wine), TAVORIN_CCACHE=0 (compile without ccache).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
TAVORIN_WINDEPS="$(cmake -P "$root/cmake/WindowsDepsPrefix.cmake")"  # its one definition
export TAVORIN_WINDEPS
builds="${TAVORIN_WIN_BUILD_DIR:-$root}"
jobs="${JOBS:-2}"

log() { printf 'windows-build: %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }
step() { printf '== %s\n' "$*"; }

# allowed_imports, pe_exports, pe_imports, import_allowed.
. "$here/pe-tables.sh"

# The cross builds compile the same sources twice per run; ccache makes a second run of an
# unchanged tree (or one in a fresh clone elsewhere: paths are taken relative to the checkout)
# mostly cache hits.
launcher=()
if [ "${TAVORIN_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure_and_build() {
  local arch="$1" dir="$2"; shift 2
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORIN_BUILD_PLAYER=ON -DTAVORIN_BUILD_BENCH=ON -DTAVORIN_WERROR=ON \
    ${launcher[@]+"${launcher[@]}"} "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# run_tests <label> <build dir>: the build's CTest suite under Wine, with the time it took.
run_tests() {
  local label="$1" dir="$2" start
  step "$label tests under Wine"
  start=$SECONDS
  (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 300) || die "$label tests failed under Wine"
  echo "$label tests under Wine: $((SECONDS - start)) s"
}

# exports / imports <objdump> <dll>: the names of the export table / the imported DLLs.
exports() { "$1" -p "$2" | pe_exports; }
imports() { "$1" -p "$2" | pe_imports; }

failures=0
fail() { log "FAILED: $*"; failures=$((failures + 1)); }

check_dll() {
  local triple="$1" dll="$2" expected="$3" objdump got name
  objdump="$triple-objdump"
  [ -f "$dll" ] || { fail "$dll was not built"; return; }
  got="$(exports "$objdump" "$dll" | sort | tr '\n' ' ')"
  if [ "$got" != "$expected" ]; then
    fail "$dll exports '$got', expected '$expected'"
  else
    echo "$dll: exports $got"
  fi
  while read -r name; do
    [ -n "$name" ] || continue
    if ! import_allowed "$name"; then
      fail "$dll imports $name, not a Windows system DLL"
    fi
  done < <(imports "$objdump" "$dll")
  echo "$dll: imports $(imports "$objdump" "$dll" | tr '\n' ' ')"
}

# Boost.Thread's TLS callback must be in the plug-in: without it the thread-specific values of
# engine threads are never freed, and nothing else would tell.
check_tls_callback() {
  local triple="$1" dll="$2" symbols headers
  # Whole outputs first: grep -q would end the pipe early, which pipefail counts as failure.
  symbols="$("$triple-nm" "$dll")"
  headers="$("$triple-objdump" -p "$dll")"
  if grep -q 'on_tls_callback' <<<"$symbols" && grep -q 'Thread Storage Directory' <<<"$headers"; then
    echo "$dll: has Boost.Thread's TLS callback"
  else
    fail "$dll lacks Boost.Thread's TLS callback (tss_pe)"
  fi
}

# tavorin-play.exe and the FFmpeg and libpng DLLs beside it import Windows' own DLLs and one
# another, nothing else (no MinGW runtime DLL).
check_player() {
  local triple="$1" bin="$2" file name
  [ -f "$bin/tavorin-play.exe" ] || { fail "$bin/tavorin-play.exe was not built"; return; }
  for file in "$bin/tavorin-play.exe" "$bin"/avcodec-*.dll "$bin"/avformat-*.dll "$bin"/avutil-*.dll \
              "$bin"/swscale-*.dll "$bin/libpng16.dll"; do
    [ -f "$file" ] || { fail "$file is missing"; continue; }
    while read -r name; do
      [ -n "$name" ] || continue
      if ! import_allowed "$name" && ! player_import_allowed "$name" && [ ! -f "$bin/$name" ]; then
        fail "$(basename "$file") imports $name, neither a Windows system DLL nor beside it"
      fi
    done < <(imports "$triple-objdump" "$file")
  done
  echo "$bin/tavorin-play.exe: imports $(imports "$triple-objdump" "$bin/tavorin-play.exe" | tr '\n' ' ')"
}

step "dependencies in $TAVORIN_WINDEPS"
"$here/windows-deps.sh" "$TAVORIN_WINDEPS"

# The scaled channels' pictures as the Linux build's resampling computes them (only that small
# program is built), for the Windows tests to hold their windows to.
step "scaled-channel reference pictures from a Linux build"
reference="$builds/build-scaled-reference"
cmake -S "$root" -B "$reference" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORIN_BUILD_PLAYER=OFF \
  -DTAVORIN_BUILD_BENCH=OFF -DTAVORIN_BUILD_TESTS=ON >/dev/null
cmake --build "$reference" --target scaled_reference -j "$jobs" >/dev/null
mkdir -p "$reference/pictures"
"$reference/tests/gdi/scaled_reference" "$reference/pictures" || die "scaled_reference failed"

# The 32-bit DLL is the product; the 64-bit one is built and tested the same way, each with the
# renderer's benchmark (built, not run: the README says how to run it under Wine).
for arch in i686 x86_64; do
  dir="$builds/build-win32"; [ "$arch" = x86_64 ] && dir="$builds/build-win64"
  step "$(basename "$dir") (DLLs, tests and benchmark)"
  start=$SECONDS
  # Z: is the Unix root in a Wine prefix.
  configure_and_build "$arch" "$dir" -DTAVORIN_BUILD_TESTS=ON -DTAVORIN_SCALED_REFERENCE_DIR="Z:$reference/pictures"
  echo "$(basename "$dir"): built in $((SECONDS - start)) s"
done

step "export and import tables"
for pair in "i686-w64-mingw32 $builds/build-win32" "x86_64-w64-mingw32 $builds/build-win64"; do
  set -- $pair
  check_dll "$1" "$2/bin/tavorin.dll" "_getPlugin "
  check_dll "$1" "$2/bin/KMC_Logging.dll" "KMCLog_close KMCLog_configure KMCLog_isEnabled KMCLog_write "
  check_tls_callback "$1" "$2/bin/tavorin.dll"
  check_player "$1" "$2/bin"
done
[ "$failures" -eq 0 ] || die "$failures check(s) of the DLLs failed"

# One Wine prefix and display of this build's own for both architectures, kept between runs
# (the prefix takes a while): a 64-bit prefix runs 32-bit programs through /usr/lib/wine/wine,
# the i686 toolchain's CMAKE_CROSSCOMPILING_EMULATOR, as well.
wine_dir="${TAVORIN_WINE_DIR:-$builds/build-wine}"
wine_env="$("$here/wine-env.sh" start "$wine_dir")" || die "the Wine environment did not start"
trap '"$here/wine-env.sh" stop "$wine_dir"' EXIT
eval "$wine_env"

run_tests 64-bit "$builds/build-win64"
run_tests 32-bit "$builds/build-win32"

# An engine built by clang for the Windows compilers' ABI drives each DLL through the whole
# protocol, in the Wine environment above.
step "engine client (Windows compilers' ABI) on both DLLs"
for pair in "i686 $builds/build-win32" "x86_64 $builds/build-win64"; do
  set -- $pair
  "$here/engine-client.sh" "$1" "$2/bin" || die "the engine client failed on the $1 DLL"
done

# The player as a user runs it, through the DLL of its own build, into its Win32 window.
step "tavorin-play.exe under Wine"
for pair in "x86_64 $builds/build-win64" "i686 $builds/build-win32"; do
  set -- $pair
  "$here/windows-player-check.sh" "$1" "$2/bin" || die "the $1 player failed its checks under Wine"
done

echo "windows builds: all checks and tests passed"
