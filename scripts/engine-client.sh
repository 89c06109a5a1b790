#!/usr/bin/env bash
# The engine client: an engine of this project's own, built by clang for the Windows compilers'
# C++ ABI (freestanding, no runtime library), that drives a tavorin.dll under Wine through the
# whole protocol and checks every answer.
#
#   scripts/engine-client.sh ARCH DLL_DIR     ARCH: i686 or x86_64
#
# Builds tests/engine_client into $TAVORIN_ENGINE_CLIENT_DIR/ARCH (default
# build-engine-client/ARCH in the checkout), runs it on DLL_DIR/tavorin.dll in the Wine
# environment of scripts/wine-env.sh, and answers the number of failed checks (0 = all passed).
# Needs clang-16, lld-link-16, llvm-dlltool-16, Wine (wine32 for i686).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
src="$root/tests/engine_client"

log() { printf 'engine-client: %s\n' "$*" >&2; }
die() { log "error: $*"; exit 2; }

[ $# -eq 2 ] || { echo "usage: $0 i686|x86_64 DLL_DIR" >&2; exit 2; }
arch="$1"
dll_dir="$(cd "$2" && pwd)" || die "no folder $2"
[ -f "$dll_dir/tavorin.dll" ] || die "$dll_dir/tavorin.dll does not exist"

case "$arch" in
  i686) triple=i686-pc-windows-msvc; machine=i386; lldmachine=x86; wine=/usr/lib/wine/wine ;;
  x86_64) triple=x86_64-pc-windows-msvc; machine=i386:x86-64; lldmachine=x64; wine=/usr/lib/wine/wine64 ;;
  *) die "unknown architecture $arch (i686 or x86_64)" ;;
esac
for tool in clang-16 lld-link-16 llvm-dlltool-16; do
  command -v "$tool" >/dev/null || die "$tool is missing (apt-get install clang-16 lld-16 llvm-16)"
done
[ -x "$wine" ] || die "$wine is missing"

out="${TAVORIN_ENGINE_CLIENT_DIR:-$root/build-engine-client}/$arch"
mkdir -p "$out"

# Freestanding: no runtime library, no stack probes (no __chkstk), no builtins that would call
# back into the library the client does not have; the client brings its own memcpy, memset,
# _purecall, _fltused, operator new/delete and entry point.
flags=(--target="$triple" -std=c++17 -O1 -g0 -ffreestanding -fno-builtin -fno-exceptions -fno-rtti
       -fno-threadsafe-statics -mno-stack-arg-probe -nostdlib -nostdinc -Wall -Wextra -Werror)
objects=()
for file in "$src"/*.cpp; do
  name="$(basename "$file" .cpp)"
  [ "$name" = layout_probe ] && continue
  clang-16 "${flags[@]}" -c "$file" -o "$out/$name.obj"
  objects+=("$out/$name.obj")
done

# Import libraries from our own .def files. i386 names carry the stdcall decoration (@bytes),
# which -k removes from the name looked up in the DLL; x86_64 has no decoration.
libs=()
for def in kernel32 user32 gdi32; do
  if [ "$arch" = i686 ]; then
    cp "$src/$def.def" "$out/$def.def"
    llvm-dlltool-16 -m "$machine" -k -d "$out/$def.def" -l "$out/$def.lib"
  else
    sed 's/@[0-9]*$//' "$src/$def.def" >"$out/$def.def"
    llvm-dlltool-16 -m "$machine" -d "$out/$def.def" -l "$out/$def.lib"
  fi
  libs+=("$out/$def.lib")
done

lld-link-16 /nologo /machine:"$lldmachine" /subsystem:console /entry:mainCRTStartup /nodefaultlib \
  /out:"$out/engine_client.exe" "${objects[@]}" "${libs[@]}"
log "built $out/engine_client.exe"

# The Wine environment of the caller (windows-build.sh starts one for its tests), else the
# default one of wine-env.sh.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  eval "$("$here/wine-env.sh" start)"
fi
windows_dir="Z:$(printf '%s' "$dll_dir" | tr / '\\')"
set +e
(cd "$dll_dir" && "$wine" "$out/engine_client.exe" "$windows_dir")
status=$?
set -e
log "$arch: $status failed check(s) on $dll_dir/tavorin.dll"
exit "$status"
