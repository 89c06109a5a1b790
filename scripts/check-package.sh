#!/usr/bin/env bash
# Checks what scripts/package.sh wrote, as an engine's installer would take it:
#
#   scripts/check-package.sh DIST_DIR VERSION [LINUX_BUILD_DIR]
#
#  - the checksum file matches the three archives;
#  - each archive holds exactly the expected files, the player among them;
#  - the DLLs in the Windows archives: PE32 i386 (win32) / PE32+ x86-64 (win64) DLLs, stripped
#    and linked to their debug file, exporting exactly _getPlugin, importing only Windows' own
#    DLLs, carrying the version resource of VERSION; the win32 DLL under 3 MB;
#  - the Linux library: a stripped x86-64 shared object linked to its debug file, exporting
#    exactly _getPlugin;
#  - each debug file resolves the address of _getPlugin in the shipped library to its name and
#    source line (what resolving a crash address from an engine's report takes);
#  - each packaged player plays the built-in clip once through its own archive's plug-in (the
#    Windows ones under Wine, in the environment of scripts/wine-env.sh), every frame released
#    once, and the Windows player's DLLs import only Windows' own DLLs and one another;
#  - with LINUX_BUILD_DIR: `cmake --install` into a temporary prefix installs the plug-in, the
#    player and the README but not the logging stand-in, which its own component adds, and the
#    integration test passes against the installed library.
#
# Answers non-zero and names every failed check.
set -euo pipefail

dist="$(cd "$1" && pwd)"
version="$2"
native="${3:-}"

log() { printf 'check-package: %s\n' "$*" >&2; }
failures=0
fail() { log "FAILED: $*"; failures=$((failures + 1)); }
pass() { printf 'check-package: %s\n' "$*"; }

# allowed_imports, pe_exports, pe_imports, import_allowed.
. "$(dirname "${BASH_SOURCE[0]}")/pe-tables.sh"
max_win32_bytes=$((3 * 1024 * 1024))

work="$(mktemp -d "${TMPDIR:-/tmp}/tavorin-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# expect_files <listing> <platform> <library folder> <library>: the archive's files, exactly.
expect_files() {
  local listing="$1" platform="$2" libdir="$3" library="$4" top expected
  top="tavorin-$version-$platform"
  expected="$(printf '%s\n' "$top/$libdir/$library" "$top/$libdir/$library.debug" \
                "$top/share/doc/tavorin/README.md" "$top/share/doc/tavorin/licences/README.txt" \
                "$top/share/doc/tavorin/licences/boost.txt" "$top/PLAYING.txt")"
  if [ "$platform" = linux-x86_64 ]; then
    expected="$(printf '%s\n' "$expected" "$top/bin/tavorin-play" "$top/bin/tavorin-play.debug")"
  else
    expected="$(printf '%s\n' "$expected" "$top/share/doc/tavorin/licences/sqlite.txt" \
                  "$top/share/doc/tavorin/licences/gcc-runtime.txt" \
                  "$top/share/doc/tavorin/licences/mingw-w64-runtime.txt" \
                  "$top/share/doc/tavorin/licences/ffmpeg.txt" "$top/share/doc/tavorin/licences/libpng.txt" \
                  "$top/share/doc/tavorin/licences/zlib.txt" \
                  "$top/share/doc/tavorin/licences/ffmpeg-configuration.txt" \
                  "$top/bin/tavorin-play.exe" "$top/bin/tavorin-play.exe.debug" "$top/bin/libpng16.dll")"
    # FFmpeg's DLLs carry their major versions in their names.
    local part dll
    for part in avcodec avformat avutil swscale; do
      dll="$(grep -E "^$top/bin/$part-[0-9]+\.dll\$" <<<"$listing" || true)"
      if [ "$(wc -w <<<"$dll")" -eq 1 ]; then
        expected="$(printf '%s\n' "$expected" "$dll")"
      else
        fail "$platform archive: no single $part-N.dll (found '$dll')"
      fi
    done
  fi
  expected="$(sort <<<"$expected")"
  if [ "$listing" = "$expected" ]; then
    pass "$platform archive: $(wc -l <<<"$listing") files as expected"
  else
    fail "$platform archive holds other files than expected:"
    diff <(echo "$expected") <(echo "$listing") >&2 || true
  fi
}

# check_stripped <binutils prefix> <file>: no debug sections left, and a .gnu_debuglink naming
# <file>.debug.
check_stripped() {
  local prefix="$1" file="$2" sections link
  sections="$("${prefix}objdump" -h "$file")"
  if grep -qE ' \.(debug_|zdebug_)' <<<"$sections"; then
    fail "$file still carries debug sections"
  elif ! grep -q ' \.gnu_debuglink' <<<"$sections"; then
    fail "$file has no .gnu_debuglink"
  else
    # The section is the file name, NUL-padded, then its CRC.
    "${prefix}objcopy" --dump-section .gnu_debuglink="$work/debuglink" "$file" "$work/dumped"
    link="$(head -z -n 1 "$work/debuglink" | tr -d '\0')"
    if [ "$link" = "$(basename "$file").debug" ]; then
      pass "$(basename "$file"): stripped, debug link to $link"
    else
      fail "$file links to '$link', not its debug file"
    fi
  fi
}

# check_resolves <addr2line> <shipped file> <address>: its debug file names the function at the
# address and its source line, read directly and through the shipped file's debug link (which
# also proves the link's checksum matches the debug file).
check_resolves() {
  local addr2line="$1" shipped="$2" address="$3" from out function line
  for from in "$shipped.debug" "$shipped"; do
    out="$("$addr2line" -f -C -e "$from" "$address")"
    function="$(sed -n 1p <<<"$out")"
    line="$(sed -n 2p <<<"$out")"
    if [[ "$function" == *getPlugin* ]] && [[ "$line" != \?\?* ]] && [[ "$line" != *:0 ]]; then
      pass "$(basename "$from"): $address is $function at $(basename "$line")"
    else
      fail "$from does not resolve $address to _getPlugin (got '$function' '$line')"
    fi
  done
}

# UTF-16 strings of the version resource come out of strings -el as key and value lines.
resource_value() {
  awk -v key="$2" 'found { print; exit } $0 == key { found = 1 }' <<<"$1"
}

check_version_resource() {
  local dll="$1" strings numbers offset ms ls expected_ms expected_ls major minor patch tweak
  strings="$(strings -el -n 3 "$dll")"
  IFS=. read -r major minor patch tweak _ <<<"$version.0.0.0"
  local file_version="$major.$minor.${patch:-0}.${tweak:-0}"
  local key value ok=1
  for pair in "FileVersion=$file_version" "ProductVersion=$version" "ProductName=Tavorin" \
              "OriginalFilename=tavorin.dll" "FileDescription=Tavorin video output plug-in"; do
    key="${pair%%=*}"
    value="$(resource_value "$strings" "$key")"
    if [ "$value" != "${pair#*=}" ]; then
      fail "$dll: version resource $key is '$value', expected '${pair#*=}'"
      ok=0
    fi
  done
  # VS_FIXEDFILEINFO: signature 0xFEEF04BD, structure version, then the file version as two
  # 32-bit numbers (major << 16 | minor, patch << 16 | tweak).
  offset="$({ LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$dll" || true; } | head -1 | cut -d: -f1)"
  if [ -z "$offset" ]; then
    fail "$dll has no fixed file version (VS_FIXEDFILEINFO)"
    return
  fi
  read -r ms ls < <(od -An -t u4 -j $((offset + 8)) -N 8 "$dll")
  expected_ms=$(( (major << 16) | minor ))
  expected_ls=$(( (${patch:-0} << 16) | ${tweak:-0} ))
  if [ "$ms" != "$expected_ms" ] || [ "$ls" != "$expected_ls" ]; then
    fail "$dll: fixed file version $((ms >> 16)).$((ms & 0xffff)).$((ls >> 16)).$((ls & 0xffff)), expected $file_version"
    ok=0
  fi
  [ "$ok" -eq 0 ] || pass "tavorin.dll: version resource $file_version, product $version"
}

# check_exports_only_getPlugin <platform> <file> <exported names, one a line>
check_exports_only_getPlugin() {
  local exports
  exports="$(sort <<<"$3" | tr '\n' ' ')"
  [ "$exports" = "_getPlugin " ] && pass "$1: exports exactly _getPlugin" ||
    fail "$2 exports '$exports', expected exactly _getPlugin"
}

check_dll() {
  local platform="$1" triple="$2" format="$3" dll="$4" objdump headers imports name base rva size
  objdump="$triple-objdump"
  headers="$("$objdump" -p "$dll")"
  if "$objdump" -f "$dll" | grep -q "file format $format" && grep -qE '^\s+DLL$' <<<"$headers"; then
    pass "$platform: tavorin.dll is a $format DLL"
  else
    fail "$dll is not a $format DLL"
  fi
  check_exports_only_getPlugin "$platform" "$dll" "$(pe_exports <<<"$headers")"
  imports="$(pe_imports <<<"$headers")"
  while read -r name; do
    [ -n "$name" ] || continue
    import_allowed "$name" || fail "$dll imports $name, not a Windows system DLL"
  done <<<"$imports"
  pass "$platform: imports $(tr '\n' ' ' <<<"$imports")"
  size="$(stat -c %s "$dll")"
  if [ "$platform" = win32 ] && [ "$size" -ge "$max_win32_bytes" ]; then
    fail "$dll is $size bytes, not under 3 MB"
  else
    pass "$platform: tavorin.dll is $size bytes, its debug file $(stat -c %s "$dll.debug")"
  fi
  check_stripped "$triple-" "$dll"
  check_version_resource "$dll"
  # The crash address of _getPlugin: the image base plus its export's address (RVA).
  base="$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")"
  rva="$(awk '/^Export Address Table/ { on = 1; next } on && /^\t\[/ { print $(NF - 2); exit }' <<<"$headers")"
  check_resolves "$triple-addr2line" "$dll" "$(printf '0x%x' $((0x$base + 0x$rva)))"
}

check_linux_library() {
  local library="$1" header address
  header="$(readelf -h "$library")"
  if grep -q 'Class:.*ELF64' <<<"$header" && grep -q 'Type:.*DYN' <<<"$header" &&
     grep -q 'Machine:.*X86-64' <<<"$header"; then
    pass "linux-x86_64: libtavorin.so is an x86-64 shared object"
  else
    fail "$library is not an x86-64 shared object"
  fi
  check_exports_only_getPlugin linux-x86_64 "$library" \
    "$(nm -D --defined-only "$library" | awk '$2 ~ /^[TWDBRV]$/ { print $3 }')"
  check_stripped "" "$library"
  address="0x$(nm -D --defined-only "$library" | awk '$3 == "_getPlugin" { print $1 }')"
  check_resolves addr2line "$library" "$address"
}

# play_once <label> <folder of the archive> <command...>: the built-in clip for a second through
# the archive's own plug-in; exit status 0 and every frame released once.
play_once() {
  local label="$1" top="$2" report; shift 2
  mkdir -p "$work/play-data"
  if (cd "$top" && XDG_DATA_HOME="$work/play-data" WINEDEBUG=-all timeout 120 "$@" --seconds 1 --size 160x90 \
        >"$work/play.out" 2>"$work/play.err"); then
    report="$(tr -d '\r' <"$work/play.out" | grep '^REPORT ' || true)"
    if grep -q ' released_ok=1 ' <<<"$report"; then
      pass "$label: the packaged player played through its plug-in: $(tr -d '\r' <"$work/play.out" | grep '^frames' || true)"
    else
      fail "$label: the packaged player's report is not clean: $report"
    fi
  else
    fail "$label: the packaged player failed: $(tail -n 3 "$work/play.err")"
  fi
}

# check_player_imports <triple> <bin folder>: the player and its DLLs import Windows' own DLLs
# and one another only.
check_player_imports() {
  local triple="$1" bin="$2" file name
  for file in "$bin/tavorin-play.exe" "$bin"/*.dll; do
    [ "$(basename "$file")" = tavorin.dll ] && continue
    while read -r name; do
      [ -n "$name" ] || continue
      import_allowed "$name" || [ -f "$bin/$name" ] || player_import_allowed "$name" ||
        fail "$(basename "$file") imports $name, neither a Windows DLL nor one beside it"
    done < <("$triple-objdump" -p "$file" | pe_imports)
  done
  pass "$(basename "$(dirname "$bin")"): the player imports $("$triple-objdump" -p "$bin/tavorin-play.exe" | pe_imports | tr '\n' ' ')"
}

# ---- checksums and contents -------------------------------------------------------------------
if (cd "$dist" && sha256sum --quiet -c "tavorin-$version-SHA256SUMS"); then
  pass "checksums match ($(wc -l <"$dist/tavorin-$version-SHA256SUMS") archives)"
else
  fail "the checksums in tavorin-$version-SHA256SUMS do not match"
fi

linux="$dist/tavorin-$version-linux-x86_64.tar.gz"
expect_files "$(tar -tzf "$linux" | grep -v '/$' | sort)" linux-x86_64 lib libtavorin.so
mkdir -p "$work/linux" && tar -C "$work/linux" -xzf "$linux"
check_linux_library "$work/linux/tavorin-$version-linux-x86_64/lib/libtavorin.so"
(unset DISPLAY; play_once linux-x86_64 "$work/linux/tavorin-$version-linux-x86_64" bin/tavorin-play)

for triple_platform in "i686-w64-mingw32 win32 pei-i386" "x86_64-w64-mingw32 win64 pei-x86-64"; do
  set -- $triple_platform
  archive="$dist/tavorin-$version-$2.zip"
  expect_files "$(unzip -Z1 "$archive" | grep -v '/$' | sort)" "$2" bin tavorin.dll
  mkdir -p "$work/$2" && unzip -q "$archive" -d "$work/$2"
  check_dll "$2" "$1" "$3" "$work/$2/tavorin-$version-$2/bin/tavorin.dll"
  check_player_imports "$1" "$work/$2/tavorin-$version-$2/bin"
done

# The Windows players under Wine, each with the DLL of its own archive.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
wine_dir="${TAVORIN_WINE_DIR:-$root/build-wine}"
# A set already running (someone else's) is used and left running.
wine_was_running=0
"$root/scripts/wine-env.sh" env "$wine_dir" >/dev/null 2>&1 && wine_was_running=1
if wine_env="$("$root/scripts/wine-env.sh" start "$wine_dir")"; then
  eval "$wine_env"
  play_once win64 "$work/win64/tavorin-$version-win64" /usr/lib/wine/wine64 bin/tavorin-play.exe
  play_once win32 "$work/win32/tavorin-$version-win32" /usr/lib/wine/wine bin/tavorin-play.exe
  [ "$wine_was_running" -eq 1 ] || "$root/scripts/wine-env.sh" stop "$wine_dir" >/dev/null
else
  fail "the Wine environment did not start: the Windows players were not run"
fi

# ---- cmake --install into a temporary prefix, and the integration test against it -------------
if [ -n "$native" ]; then
  prefix="$work/prefix"
  cmake --install "$native" --prefix "$prefix" >/dev/null
  for f in lib/libtavorin.so lib/libtavorin.so.debug share/doc/tavorin/README.md; do
    [ -f "$prefix/$f" ] || fail "cmake --install did not install $f"
  done
  if grep -q '^TAVORIN_BUILD_PLAYER:BOOL=ON' "$native/CMakeCache.txt"; then
    [ -x "$prefix/bin/tavorin-play" ] || fail "cmake --install did not install bin/tavorin-play"
  fi
  [ ! -e "$prefix/lib/libKMC_Logging.so" ] ||
    fail "a default install put the engine's logging stand-in beside the plug-in"
  cmake --install "$native" --prefix "$prefix" --component engine-logging-standin >/dev/null
  [ -f "$prefix/lib/libKMC_Logging.so" ] || fail "the engine-logging-standin component installed nothing"
  pass "cmake --install: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
  test_program="$native/tests/integration/integration_test"
  if [ -x "$test_program" ]; then
    mkdir -p "$work/data"
    if TAVORIN_PLUGIN="$prefix/lib/libtavorin.so" XDG_DATA_HOME="$work/data" \
       KMC_LOG_FILE="$work/kmc.log" "$test_program" >"$work/integration.log" 2>&1; then
      pass "integration test passed against $(basename "$prefix")/lib/libtavorin.so ($(grep -c '^\[       OK' "$work/integration.log") tests)"
    else
      cat "$work/integration.log" >&2
      fail "the integration test failed against the installed library"
    fi
  else
    log "no $test_program (tests not built): the installed library was not loaded"
  fi
fi

[ "$failures" -eq 0 ] || { log "$failures check(s) failed"; exit 1; }
echo "check-package: all checks passed"
