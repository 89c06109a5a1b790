#!/usr/bin/env bash
# The 32-bit Windows player under Wine beside the Linux player, on the same files, on one
# Xvfb in one run:
#
#   bench/player/wine.sh [seconds per file, default 6] [Linux build, default build]
#                        [Windows build, default build-win32]
#
# Files (made here by ffmpeg from testsrc2, H.264): 720p30 played into a 1920x1080 window,
# 1080p30 and 1080p60 at 1:1. Per player and file: frames presented of the file's, frames
# dropped late, redraws per second, and the CPU of the player's process (its REPORT line's
# cpu_ms: GetProcessTimes under Wine, getrusage on Linux; neither counts the X server nor
# wineserver). With PERF=1 a short profile of the Wine process on 1080p30 (perf record, then
# the top symbols of perf report) says where its time goes.
#
# Runs in the Wine environment of scripts/wine-env.sh (started here when none is running).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-6}"
linux="${2:-$root/build}/bin/tavorin-play"
windows="${3:-$root/build-win32}/bin/tavorin-play.exe"
[ -x "$linux" ] || { echo "wine.sh: $linux is missing" >&2; exit 1; }
[ -f "$windows" ] || { echo "wine.sh: $windows is missing (scripts/windows-build.sh)" >&2; exit 1; }
eval "$("$root/scripts/wine-env.sh" start "${TAVORIN_WINE_DIR:-$root/build-wine}")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

make_file() {  # name size rate
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=$2:rate=$3:duration=$seconds" -c:v libx264 \
    -preset veryfast -pix_fmt yuv420p "$scratch/$1.mp4"
}
make_file 720p30 1280x720 30
make_file 1080p30 1920x1080 30
make_file 1080p60 1920x1080 60

# field LINE KEY
field() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }

printf '%-8s %-9s %10s %8s %11s %8s %9s\n' file player presented dropped redraws/s cpu_ms ms/shown
for run in "720p30 --window 1920x1080" "1080p30 " "1080p60 "; do
  set -- $run
  name="$1"; shift
  for player in linux wine32; do
    if [ "$player" = linux ]; then
      out="$("$linux" --decode-threads 1 "$@" "$scratch/$name.mp4" 2>/dev/null | grep '^REPORT ')"
    else
      out="$(cd "$scratch" && WINEDEBUG=-all /usr/lib/wine/wine "$windows" --decode-threads 1 "$@" "$name.mp4" \
             2>/dev/null | tr -d '\r' | grep '^REPORT ')"
    fi
    presented=$(field "$out" presented); expected=$(field "$out" expected); cpu=$(field "$out" cpu_ms)
    printf '%-8s %-9s %5s/%-4s %8s %11s %8s %9.1f\n' "$name" "$player" "$presented" "$expected" \
      "$(field "$out" dropped)" "$(field "$out" redraw_rate)" "$cpu" "$(awk -v c="$cpu" -v p="$presented" 'BEGIN { print (p > 0 ? c / p : 0) }')"
  done
done

if [ "${PERF:-0}" = 1 ]; then
  echo
  echo "perf profile of the Wine process, 1080p30 1:1 (children included, top symbols):"
  (cd "$scratch" && WINEDEBUG=-all perf record -q -o "$scratch/perf.data" -- /usr/lib/wine/wine "$windows" \
     --decode-threads 1 1080p30.mp4 >/dev/null 2>&1) || true
  perf report -q -i "$scratch/perf.data" --no-children -g none --sort dso,symbol 2>/dev/null | grep -v '^$' | head -n 25 || true
  echo "by library:"
  perf report -q -i "$scratch/perf.data" --no-children -g none --sort dso 2>/dev/null | grep -v '^$' | head -n 12 || true
fi
