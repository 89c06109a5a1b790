#!/usr/bin/env bash
# Builds the third-party libraries of the Windows cross builds, for i686 and x86_64:
#
#   scripts/windows-deps.sh [PREFIX]
#
# PREFIX defaults to $TAVORIN_WINDEPS, else ${XDG_CACHE_HOME:-$HOME/.cache}/tavorin-windeps, the
# same folder the toolchain files and cmake/WindowsDeps.cmake look in. Each architecture gets
# PREFIX/<arch>/ with
#   boost-include/boost   a link to Debian's Boost headers (they work unchanged with MinGW)
#   lib/libboost_thread.a Boost.Thread's Windows sources from Debian's boost source package
#   lib/libsqlite3.a, include/sqlite3.h   SQLite from Debian's source package, thread-safe
#   lib/, include/, lib/cmake/GTest       GoogleTest and GoogleMock from /usr/src/googletest
#   lib/libpixman-1.a, include/pixman-1   pixman from Debian's source package, static
#   lib/cmake/benchmark                   Google Benchmark from Debian's source package
# The few sources taken from Debian's source packages stay in PREFIX/cache. Running it again does only what is
# missing; a finished prefix takes about a second.
#
# Missing Debian packages are installed (as root, or through sudo), and deb-src entries for the
# configured Debian mirrors are added when there are none, so that "apt-get source" works.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"

# ---- Debian packages (first: the prefix below is asked of cmake) -------------------------------
PKG_TAG=windows-deps PKG_SCRIPTS="$here"
# shellcheck source=scripts/packages.sh
. "$here/packages.sh"
as_root() { pkg_as_root "$@"; }

# shellcheck disable=SC2046
pkg_install $(pkg_set windows)

prefix="${1:-$(cmake -P "$root/cmake/WindowsDepsPrefix.cmake")}"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
cache="$prefix/cache"
jobs="${JOBS:-2}"
arches=(i686 x86_64)

# Bump when a build below changes, so that existing prefixes are rebuilt.
boost_key="boost-thread 1 _WIN32_WINNT=0x0601 BOOST_CHRONO_HEADER_ONLY"
sqlite_key="sqlite 1 SQLITE_THREADSAFE=1"
gtest_key="gtest 1"

log() { printf 'windows-deps: %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

# ---- Debian source packages -------------------------------------------------------------------
have_deb_src() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -qE '^[[:space:]]*deb-src[[:space:]]' "$f" && return 0
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && grep -qiE '^Types:.*[[:space:]]deb-src([[:space:]]|$)' "$f" && return 0
  done
  return 1
}

# Adds deb-src twins of the binary entries for this release's Debian suites, in the format the
# system uses (deb822 .sources files, or one-line sources.list entries).
add_deb_src() {
  local codename out tmp f
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  [ -n "$codename" ] || die "cannot tell the Debian release from /etc/os-release"
  tmp="$(mktemp)"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v codename="$codename" '
      function flush(  i) {
        if (n > 0 && isdeb && suiteok && enabled) {
          if (printed++) print ""
          print "Types: deb-src"
          for (i = 1; i <= n; i++) print lines[i]
        }
        n = 0; isdeb = 0; suiteok = 0; enabled = 1
      }
      BEGIN { enabled = 1 }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]*#/ { next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") isdeb = 1; next }
      /^Enabled:/ { if (tolower($2) == "no") enabled = 0; next }
      /^Suites:/ { for (i = 2; i <= NF; i++) if (index($i, codename) == 1) suiteok = 1 }
      { lines[++n] = $0 }
      END { flush() }' "$f" >>"$tmp"
  done
  if [ -s "$tmp" ]; then
    out=/etc/apt/sources.list.d/tavorin-deb-src.sources
  else
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      # "deb [options] URI suite components": keep the entries of this release's suites.
      awk -v codename="$codename" '
        $1 == "deb" {
          i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
          if (index($(i + 1), codename) == 1) { $1 = "deb-src"; print }
        }' "$f" >>"$tmp"
    done
    out=/etc/apt/sources.list.d/tavorin-deb-src.list
  fi
  [ -s "$tmp" ] || { rm -f "$tmp"; die "no Debian $codename entries found in the apt sources"; }
  log "adding deb-src entries: $out"
  as_root install -m 0644 "$tmp" "$out"
  rm -f "$tmp"
  pkg_updated=0
}

# fetch_source PACKAGE: downloads the source package into $cache/src (once) and prints the .dsc.
fetch_source() {
  local pkg="$1" dsc
  mkdir -p "$cache/src"
  dsc="$(ls "$cache/src/${pkg}"_*.dsc 2>/dev/null | head -n1 || true)"
  if [ -z "$dsc" ]; then
    have_deb_src || add_deb_src
    if ! (cd "$cache/src" && apt-get source -q --download-only "$pkg" >/dev/null 2>&1); then
      pkg_updated=0
      pkg_update
      (cd "$cache/src" && apt-get source -q --download-only "$pkg" >/dev/null) \
        || die "apt-get source $pkg failed"
    fi
    dsc="$(ls "$cache/src/${pkg}"_*.dsc | head -n1)"
  fi
  printf '%s\n' "$dsc"
}

# A pool of at most $jobs background compiles; a failed one stops the script.
pids=()
spawn() {
  "$@" &
  pids+=("$!")
  if [ "${#pids[@]}" -ge "$jobs" ]; then
    wait "${pids[0]}" || die "build step failed: $*"
    pids=("${pids[@]:1}")
  fi
}
drain() {
  local p
  for p in "${pids[@]}"; do wait "$p" || die "build step failed"; done
  pids=()
}

stamp_ok() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; }

# ---- SQLite amalgamation ----------------------------------------------------------------------
# Debian's source package carries the separate sources (with Debian's fixes applied by
# dpkg-source); the single-file sqlite3.c is generated from them with tclsh.
amalgamation="$cache/sqlite-amalgamation"
if [ ! -f "$amalgamation/sqlite3.c" ]; then
  dsc="$(fetch_source sqlite3)"
  rm -rf "$cache/src/sqlite3-src" "$cache/sqlite3-gen"
  log "unpacking $(basename "$dsc")"
  # The files' checksums were checked by apt against the signed archive index.
  dpkg-source -q -x "$dsc" "$cache/src/sqlite3-src" >"$cache/sqlite3-unpack.log" 2>&1 \
    || die "unpacking $dsc failed, see $cache/sqlite3-unpack.log"
  mkdir -p "$cache/sqlite3-gen"
  log "generating sqlite3.c"
  make -s -C "$cache/sqlite3-gen" -f "$cache/src/sqlite3-src/Makefile.linux-gcc" \
    TOP="$cache/src/sqlite3-src" TCLSH=tclsh sqlite3.c >"$cache/sqlite3-gen.log" 2>&1 \
    || die "generating sqlite3.c failed, see $cache/sqlite3-gen.log"
  rm -rf "$amalgamation.tmp" && mkdir -p "$amalgamation.tmp"
  cp "$cache/sqlite3-gen/sqlite3.c" "$cache/sqlite3-gen/sqlite3.h" "$amalgamation.tmp/"
  cp "$cache/src/sqlite3-src/src/sqlite3ext.h" "$amalgamation.tmp/"
  rm -rf "$amalgamation" && mv "$amalgamation.tmp" "$amalgamation"
  rm -rf "$cache/src/sqlite3-src" "$cache/sqlite3-gen" "$cache"/src/sqlite3_*
fi

# ---- Boost.Thread sources ---------------------------------------------------------------------
# Only libs/thread/src is taken from the (large) source archive; Debian patches touching it
# are applied.
thread_src="$cache/boost-thread-src"
if [ ! -f "$thread_src/win32/thread.cpp" ]; then
  dsc="$(fetch_source boost1.74)"
  log "unpacking Boost.Thread sources from $(basename "$dsc")"
  rm -rf "$cache/boost-unpack" "$thread_src"
  mkdir -p "$cache/boost-unpack"
  orig="$(ls "$cache"/src/boost1.74_*.orig.tar.* | head -n1)"
  debian_tar="$(ls "$cache"/src/boost1.74_*.debian.tar.* | head -n1)"
  tar --no-same-owner -xf "$orig" -C "$cache/boost-unpack" --strip-components=1 --wildcards '*/libs/thread/src/*'
  tar --no-same-owner -xf "$debian_tar" -C "$cache/boost-unpack" debian/patches
  if [ -f "$cache/boost-unpack/debian/patches/series" ]; then
    while read -r patch _; do
      case "$patch" in ''|'#'*) continue ;; esac
      if grep -q '^+++ .*libs/thread/src/' "$cache/boost-unpack/debian/patches/$patch"; then
        log "applying $patch"
        filterdiff -i '*libs/thread/src/*' "$cache/boost-unpack/debian/patches/$patch" \
          | patch -s -p1 -d "$cache/boost-unpack" -f >/dev/null || die "$patch does not apply"
      fi
    done <"$cache/boost-unpack/debian/patches/series"
  fi
  mv "$cache/boost-unpack/libs/thread/src" "$thread_src"
  rm -rf "$cache/boost-unpack" "$cache"/src/boost1.74_*
fi

# ---- per architecture -------------------------------------------------------------------------
# Boost.Thread and SQLite of both architectures are compiled in one pool of $jobs jobs, then
# archived; GoogleTest is a CMake build of its own per architecture.
finish=()
for arch in "${arches[@]}"; do
  triple="$arch-w64-mingw32"
  dest="$prefix/$arch"
  work="$cache/build-$arch"
  mkdir -p "$dest/lib" "$dest/include" "$dest/boost-include" "$work"

  # Only a "boost" entry: adding /usr/include itself would put glibc's headers before MinGW's.
  ln -sfn /usr/include/boost "$dest/boost-include/boost"

  if ! stamp_ok "$dest/.boost-thread" "$boost_key"; then
    log "$arch: Boost.Thread"
    rm -rf "$work/boost-thread" && mkdir -p "$work/boost-thread"
    for f in win32/thread.cpp win32/thread_primitives.cpp win32/tss_pe.cpp future.cpp; do
      spawn "$triple-g++-posix" -std=gnu++17 -O2 -g -w -I"$dest/boost-include" \
        -DBOOST_THREAD_BUILD_LIB -DBOOST_CHRONO_HEADER_ONLY -DBOOST_ALL_NO_LIB \
        -D_WIN32_WINNT=0x0601 -c "$thread_src/$f" \
        -o "$work/boost-thread/$(basename "${f%.cpp}").o"
    done
    finish+=("$arch:boost")
  fi

  if ! stamp_ok "$dest/.sqlite" "$sqlite_key"; then
    log "$arch: SQLite"
    rm -rf "$work/sqlite" && mkdir -p "$work/sqlite"
    spawn "$triple-gcc-posix" -O2 -g -w -DSQLITE_THREADSAFE=1 \
      -c "$amalgamation/sqlite3.c" -o "$work/sqlite/sqlite3.o"
    finish+=("$arch:sqlite")
  fi
done
drain

for item in "${finish[@]}"; do
  arch="${item%%:*}"
  triple="$arch-w64-mingw32"
  dest="$prefix/$arch"
  work="$cache/build-$arch"
  case "${item#*:}" in
    boost)
      rm -f "$dest/lib/libboost_thread.a"
      "$triple-ar" rcs "$dest/lib/libboost_thread.a" "$work"/boost-thread/*.o
      rm -rf "$work/boost-thread"
      echo "$boost_key" >"$dest/.boost-thread"
      ;;
    sqlite)
      rm -f "$dest/lib/libsqlite3.a"
      "$triple-ar" rcs "$dest/lib/libsqlite3.a" "$work/sqlite/sqlite3.o"
      cp "$amalgamation/sqlite3.h" "$dest/include/"
      if [ -f "$amalgamation/sqlite3ext.h" ]; then cp "$amalgamation/sqlite3ext.h" "$dest/include/"; fi
      rm -rf "$work/sqlite"
      echo "$sqlite_key" >"$dest/.sqlite"
      ;;
  esac
done

# cmake_cross NAME SOURCE ARCH CMAKE-ARGS...: configures SOURCE for ARCH with the project's
# toolchain, builds it and installs it into the architecture's prefix; the logs stay in the
# architecture's work folder when a step fails.
cmake_cross() {
  local name="$1" source="$2" arch="$3" work
  shift 3
  work="$cache/build-$arch"
  rm -rf "$work/$name"
  cmake -S "$source" -B "$work/$name" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" \
    -DTAVORIN_WINDEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix/$arch" "$@" \
    >"$work/$name-configure.log" 2>&1 || die "$name configure failed, see $work/$name-configure.log"
  cmake --build "$work/$name" -j "$jobs" >"$work/$name-build.log" 2>&1 \
    || die "$name build failed, see $work/$name-build.log"
  cmake --install "$work/$name" >/dev/null
  rm -rf "$work/$name"
}

for arch in "${arches[@]}"; do
  if ! stamp_ok "$prefix/$arch/.gtest" "$gtest_key"; then
    log "$arch: GoogleTest"
    # pthreads off: MinGW's GoogleTest uses the Win32 primitives, and its users must see the
    # same choice as the library.
    cmake_cross gtest /usr/src/googletest "$arch" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=ON
    echo "$gtest_key" >"$prefix/$arch/.gtest"
  fi
done

# ---- pixman and Google Benchmark ---------------------------------------------------------------
# pixman: the plug-in resamples scaled channels with it (src/resample), as the software GDI of
# the Linux build does with Debian's libpixman, so the DLL is built against the same source
# package: static (lib/libpixman-1.a, include/pixman-1), linked into the DLL, which keeps
# importing only Windows' own DLLs; its x86 SIMD paths are chosen at run time, as on Linux.
# Google Benchmark (lib/cmake/benchmark) for the benchmarks of the Windows builds, from Debian's
# source package with its patches, built like GoogleTest.
pixman_key="pixman 1 static"
benchmark_key="benchmark 2 with Debian patches"

# debian_source PACKAGE DIR: unpacks the source package into DIR (once). The upstream tarball is
# checked against the SHA-256 the .dsc names (apt checked the .dsc against the signed index);
# Debian's changes are applied when the mirror serves them. A format 1.0 package whose .diff.gz
# cannot be had is unpacked from its upstream tarball alone, which the log says.
debian_source() {
  local pkg="$1" dir="$2" dsc orig want patch
  [ -d "$dir" ] && return 0
  dsc="$(fetch_source "$pkg" 2>/dev/null)" || dsc="$(ls "$cache/src/${pkg}"_*.dsc 2>/dev/null | head -n1 || true)"
  [ -n "$dsc" ] || die "apt-get source $pkg failed"
  orig="$(ls "$cache/src/${pkg}"_*.orig.tar.* 2>/dev/null | head -n1 || true)"
  [ -n "$orig" ] || die "apt-get source $pkg fetched no upstream tarball"
  want="$(awk -v f="$(basename "$orig")" '/^Checksums-Sha256:/ { s = 1; next } /^[^ ]/ { s = 0 } s && $3 == f { print $1 }' "$dsc")"
  [ -n "$want" ] && [ "$(sha256sum "$orig" | cut -d' ' -f1)" = "$want" ] \
    || die "$(basename "$orig") does not match the SHA-256 in $(basename "$dsc")"
  rm -rf "$dir.tmp"
  if compgen -G "$cache/src/${pkg}_*.debian.tar.*" >/dev/null || compgen -G "$cache/src/${pkg}_*.diff.gz" >/dev/null; then
    log "unpacking $(basename "$dsc")"
    dpkg-source -q -x "$dsc" "$dir.tmp" >"$cache/$pkg-unpack.log" 2>&1 \
      || die "unpacking $dsc failed, see $cache/$pkg-unpack.log"
    # Format 1.0 leaves Debian's quilt series unapplied.
    if [ -f "$dir.tmp/debian/patches/series" ] && [ ! -d "$dir.tmp/.pc" ]; then
      while read -r patch _; do
        case "$patch" in ''|'#'*) continue ;; esac
        patch -s -p1 -d "$dir.tmp" <"$dir.tmp/debian/patches/$patch" || die "$pkg: $patch does not apply"
      done <"$dir.tmp/debian/patches/series"
    fi
  else
    log "$pkg: the mirror serves no Debian changes for $(basename "$dsc"); building its upstream tarball $(basename "$orig") (checksum verified)"
    mkdir -p "$dir.tmp"
    tar --no-same-owner -xf "$orig" -C "$dir.tmp" --strip-components=1
  fi
  mv "$dir.tmp" "$dir"
}

need_pixman=0 need_benchmark=0
for arch in "${arches[@]}"; do
  stamp_ok "$prefix/$arch/.pixman" "$pixman_key" || need_pixman=1
  stamp_ok "$prefix/$arch/.benchmark" "$benchmark_key" || need_benchmark=1
done
[ "$need_pixman" -eq 0 ] || debian_source pixman "$cache/pixman-src"
[ "$need_benchmark" -eq 0 ] || debian_source benchmark "$cache/benchmark-src"

# ---- the player's libraries: FFmpeg, zlib, libpng -------------------------------------------
# tavorin-play.exe decodes files with FFmpeg and writes snapshots with libpng, both built here
# from Debian's source packages (with Debian's patches applied by dpkg-source) for each
# architecture, into PREFIX/<arch>:
#   bin/avcodec-*.dll avformat-*.dll avutil-*.dll swscale-*.dll   FFmpeg, shared (LGPL: the
#        player links the DLLs that ship beside it); lib/*.dll.a, include/, lib/pkgconfig/
#   bin/libpng16.dll, lib/libpng16.dll.a, include/png*.h          libpng, shared
#   lib/libz.a, include/zlib.h                                    zlib, static (inside libpng16.dll)
# FFmpeg is configured with --disable-everything and then only what common files need: the
# decoders and parsers below, the mov/mp4, Matroska/WebM and AVI demuxers, the file protocol
# and libswscale; no programs, documents, network, devices, filters or hardware decoding, and
# nothing detected from the build machine. Its x86 assembly needs nasm. The DLLs import only
# Windows' own DLLs: the C runtime parts of GCC are linked in statically.
ffmpeg_decoders=h264,hevc,vp9,mpeg4,msmpeg4v1,msmpeg4v2,msmpeg4v3,mjpeg,cinepak
ffmpeg_parsers=h264,hevc,vp9,mpeg4video,mjpeg
ffmpeg_demuxers=mov,matroska,avi
ffmpeg_key="ffmpeg 1 $ffmpeg_decoders $ffmpeg_parsers $ffmpeg_demuxers w32threads"
zlib_key="zlib 1 static"
png_key="libpng 1 shared zlib-static"

# unpack_source PACKAGE DIR: the source package, patched, in DIR (once).
unpack_source() {
  local pkg="$1" dir="$2" dsc
  [ -f "$dir/.unpacked" ] && return 0
  dsc="$(fetch_source "$pkg")"
  log "unpacking $(basename "$dsc")"
  rm -rf "$dir"
  dpkg-source -q -x "$dsc" "$dir" >"$cache/$pkg-unpack.log" 2>&1 || die "unpacking $dsc failed, see $cache/$pkg-unpack.log"
  touch "$dir/.unpacked"
}

need_player_libs=0
for arch in "${arches[@]}"; do
  for pair in ".ffmpeg:$ffmpeg_key" ".zlib:$zlib_key" ".libpng:$png_key"; do
    stamp_ok "$prefix/$arch/${pair%%:*}" "${pair#*:}" || need_player_libs=1
  done
done
if [ "$need_player_libs" -eq 1 ]; then
  unpack_source ffmpeg "$cache/ffmpeg-src"
  unpack_source zlib "$cache/zlib-src"
  unpack_source libpng1.6 "$cache/libpng-src"
fi

for arch in "${arches[@]}"; do
  triple="$arch-w64-mingw32"
  dest="$prefix/$arch"
  work="$cache/build-$arch"
  mkdir -p "$work"
  if ! stamp_ok "$dest/.pixman" "$pixman_key"; then
    log "$arch: pixman"
    rm -rf "$work/pixman" && mkdir -p "$work/pixman"
    (cd "$work/pixman" && "$cache/pixman-src/configure" --host="$triple" --prefix="$dest" \
       CC="$triple-gcc-posix" --enable-static --disable-shared --disable-gtk --disable-libpng \
       --disable-openmp >configure.log 2>&1) \
      || die "pixman configure failed, see $work/pixman/configure.log"
    # Only the library and its headers: the tests and demos are not needed.
    (make -C "$work/pixman/pixman" -j "$jobs" && make -C "$work/pixman/pixman" install) \
      >"$work/pixman-build.log" 2>&1 || die "pixman build failed, see $work/pixman-build.log"
    rm -rf "$work/pixman"
    echo "$pixman_key" >"$dest/.pixman"
  fi
  if ! stamp_ok "$dest/.benchmark" "$benchmark_key"; then
    log "$arch: Google Benchmark"
    # The version as Debian's build gives it (its patches do not read it from git).
    version="$(ls "$cache"/src/benchmark_*.orig.tar.* | head -n1 | sed 's/.*benchmark_\(.*\)\.orig\.tar\..*/\1/')"
    cmake_cross benchmark "$cache/benchmark-src" "$arch" -DGIT_VERSION="$version" -DBENCHMARK_ENABLE_TESTING=OFF \
      -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LTO=OFF \
      -DBENCHMARK_INSTALL_DOCS=OFF
    echo "$benchmark_key" >"$dest/.benchmark"
  fi
done
[ "$need_pixman" -eq 0 ] || rm -rf "$cache/pixman-src"
[ "$need_benchmark" -eq 0 ] || rm -rf "$cache/benchmark-src"

for arch in "${arches[@]}"; do
  triple="$arch-w64-mingw32"
  dest="$prefix/$arch"
  work="$cache/build-$arch"
  mkdir -p "$dest/bin" "$dest/lib" "$dest/include" "$work"

  if ! stamp_ok "$dest/.zlib" "$zlib_key"; then
    log "$arch: zlib"
    # Debian's source leaves out zlib's Windows makefiles; the library is its fifteen C files.
    rm -rf "$work/zlib" && mkdir -p "$work/zlib"
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
             uncompr zutil; do
      spawn "$triple-gcc-posix" -O2 -g -w -c "$cache/zlib-src/$f.c" -o "$work/zlib/$f.o"
    done
    drain
    rm -f "$dest/lib/libz.a"
    "$triple-ar" rcs "$dest/lib/libz.a" "$work"/zlib/*.o
    cp "$cache/zlib-src/zlib.h" "$cache/zlib-src/zconf.h" "$dest/include/"
    rm -rf "$work/zlib"
    echo "$zlib_key" >"$dest/.zlib"
  fi

  if ! stamp_ok "$dest/.libpng" "$png_key"; then
    log "$arch: libpng"
    rm -rf "$work/libpng"
    cmake -S "$cache/libpng-src" -B "$work/libpng" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" -DTAVORIN_WINDEPS="$prefix" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$dest" \
      -DPNG_SHARED=ON -DPNG_STATIC=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON \
      -DZLIB_INCLUDE_DIR="$dest/include" -DZLIB_LIBRARY="$dest/lib/libz.a" \
      >"$work/libpng-configure.log" 2>&1 || die "libpng configure failed, see $work/libpng-configure.log"
    cmake --build "$work/libpng" -j "$jobs" >"$work/libpng-build.log" 2>&1 \
      || die "libpng build failed, see $work/libpng-build.log"
    cmake --install "$work/libpng" >/dev/null
    rm -rf "$work/libpng"
    echo "$png_key" >"$dest/.libpng"
  fi

  if ! stamp_ok "$dest/.ffmpeg" "$ffmpeg_key"; then
    log "$arch: FFmpeg (about 6 minutes of CPU per architecture)"
    start=$SECONDS
    rm -rf "$work/ffmpeg" && mkdir -p "$work/ffmpeg"
    ffmpeg_arch=x86; [ "$arch" = x86_64 ] && ffmpeg_arch=x86_64
    (cd "$work/ffmpeg" && "$cache/ffmpeg-src/configure" \
      --prefix="$dest" --target-os=mingw32 --arch="$ffmpeg_arch" --enable-cross-compile \
      --cross-prefix="$triple-" --cc="$triple-gcc-posix" --cxx="$triple-g++-posix" \
      --pkg-config=false --disable-autodetect --enable-w32threads --disable-pthreads \
      --enable-shared --disable-static --disable-programs --disable-doc --disable-network \
      --disable-avdevice --disable-avfilter --disable-postproc --disable-swresample \
      --disable-debug --disable-everything \
      --enable-decoder="$ffmpeg_decoders" --enable-parser="$ffmpeg_parsers" \
      --enable-demuxer="$ffmpeg_demuxers" --enable-protocol=file --enable-swscale \
      --extra-ldflags="-static-libgcc -static") >"$work/ffmpeg-configure.log" 2>&1 \
      || die "FFmpeg configure failed, see $work/ffmpeg-configure.log"
    make -C "$work/ffmpeg" -j "$jobs" >"$work/ffmpeg-build.log" 2>&1 \
      || die "FFmpeg build failed, see $work/ffmpeg-build.log"
    make -C "$work/ffmpeg" install >"$work/ffmpeg-install.log" 2>&1 \
      || die "FFmpeg install failed, see $work/ffmpeg-install.log"
    # The configure line beside what it built: what ships says how it was made.
    grep -m1 'FFMPEG_CONFIGURATION' "$work/ffmpeg/config.h" >"$dest/ffmpeg-configuration.txt" || true
    rm -rf "$work/ffmpeg"
    echo "$ffmpeg_key" >"$dest/.ffmpeg"
    log "$arch: FFmpeg built in $((SECONDS - start)) s"
  fi
done
# The licences that ship beside the DLLs (share/licences/*.txt), and FFmpeg's configure line.
for arch in "${arches[@]}"; do
  dest="$prefix/$arch"
  if [ ! -f "$dest/share/licences/zlib.txt" ] || [ ! -f "$dest/share/licences/ffmpeg.txt" ]; then
    unpack_source ffmpeg "$cache/ffmpeg-src"
    unpack_source zlib "$cache/zlib-src"
    unpack_source libpng1.6 "$cache/libpng-src"
    mkdir -p "$dest/share/licences"
    cat "$cache/ffmpeg-src/LICENSE.md" "$cache/ffmpeg-src/COPYING.LGPLv2.1" >"$dest/share/licences/ffmpeg.txt"
    cp "$cache/libpng-src/LICENSE" "$dest/share/licences/libpng.txt"
    cp "$cache/zlib-src/LICENSE" "$dest/share/licences/zlib.txt"
  fi
  # Without the build machine's folders: what is enabled, not where it was put.
  sed -e 's/^#define FFMPEG_CONFIGURATION "//' -e 's/"$//' -e "s|--prefix=[^ ]* ||" "$dest/ffmpeg-configuration.txt" \
    >"$dest/share/licences/ffmpeg-configuration.txt"
  printf '  %-6s player: FFmpeg and libpng DLLs %s/bin, zlib %s/lib\n' "$arch" "$dest" "$dest"
done

cat <<EOF
Windows dependencies ready in $prefix
$(for arch in "${arches[@]}"; do
  printf '  %-6s Boost headers %s/boost-include, Boost.Thread + SQLite + pixman %s/lib, GoogleTest %s/lib/cmake/GTest, Google Benchmark %s/lib/cmake/benchmark\n' \
    "$arch" "$prefix/$arch" "$prefix/$arch" "$prefix/$arch" "$prefix/$arch"
done)
Configure with -DTAVORIN_WINDEPS=$prefix (or export TAVORIN_WINDEPS=$prefix) and
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake or cmake/toolchain-mingw-x86_64.cmake
EOF
