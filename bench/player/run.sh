#!/bin/sh
# End-to-end player benchmark: plays the built-in clip off-screen through the plug-in at 720p
# and 1080p, 30 and 60 frames per second, one and two picture channels (no overlay), and
# prints one table row per run.
#
# A script rather than a Google Benchmark program: each measurement is one whole process
# playing for many seconds at the real media clock, and what matters is the process's own
# account (frames presented and dropped, lateness on the media clock, CPU time from
# getrusage), not a repeated timed loop.
#
# Columns:
#   share      frames presented / frames in the clip (all channels)
#   bound      what the 15 ms between the starts of two window copies leaves presentable:
#              min(1, (1000/15)/fps)
#   vs_bound   share / bound
#   redraw/s   window drawings per second
#   rd_bound   what the redraws actually made leave presentable: min(1, redraw/s / fps), since
#              each redraw shows at most one new frame per channel
#   p95_ms     95th percentile lateness of presented frames, media milliseconds
#   cpu_ms/f   CPU time (user + system) of the whole process per presented frame
#   x_memcpy   cpu_ms/f over one memcpy of a frame's bytes, measured in the same run by
#              clip_bench (BM_MemcpyFrame)
#
# usage: bench/player/run.sh [seconds per run, default 10] [build folder, default build-play]
set -eu
seconds=${1:-10}
build=${2:-build-play}
player="$build/bin/tavorin-play"
bench="$build/bench/player/clip_bench"
for program in "$player" "$bench"; do
  [ -x "$program" ] || { echo "run.sh: $program is missing; build tavorin-play and clip_bench first" >&2; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Reference: memcpy of one frame at each size, in microseconds.
"$bench" --benchmark_filter=BM_MemcpyFrame --benchmark_format=csv 2>/dev/null |
  awk -F, '/BM_MemcpyFrame/ { split($1, a, "/"); gsub(/"/, "", a[2]); print a[2], $3 }' > "$scratch/memcpy"

printf '%-10s %4s %3s %7s %6s %8s %9s %8s %7s %8s %9s %8s\n' \
  size fps ch share bound vs_bound redraw/s rd_bound p95_ms dropped cpu_ms/f x_memcpy
for size in 1280x720 1920x1080; do
  width=${size%x*}
  memcpy_us=$(awk -v w="$width" '$1 == w { print $2 }' "$scratch/memcpy")
  for fps in 30 60; do
    for channels in 1 2; do
      env -u DISPLAY XDG_DATA_HOME="$scratch" "$player" --size "$size" --fps "$fps" --channels "$channels" \
        --overlay off --seconds "$seconds" > "$scratch/out" 2> "$scratch/err" || {
        echo "run.sh: $size $fps fps $channels channels failed:" >&2; cat "$scratch/err" >&2; exit 1; }
      grep '^REPORT ' "$scratch/out" | tr ' ' '\n' | awk -F= -v size="$size" -v fps="$fps" -v ch="$channels" \
        -v memcpy_us="$memcpy_us" '
        NF == 2 { r[$1] = $2 }
        END {
          share = r["expected"] > 0 ? r["presented"] / r["expected"] : 0
          bound = 1000 / 15 / fps; if (bound > 1) bound = 1
          cpu = r["presented"] > 0 ? r["cpu_ms"] / r["presented"] : 0
          ratio = memcpy_us > 0 ? cpu * 1000 / memcpy_us : 0
          redrawBound = r["redraw_rate"] / fps; if (redrawBound > 1) redrawBound = 1
          printf "%-10s %4d %3d %7.3f %6.3f %8.3f %9.1f %8.3f %7d %8d %9.3f %8.1f\n",
                 size, fps, ch, share, bound, share / bound, r["redraw_rate"], redrawBound, r["late_p95"], r["dropped"],
                 cpu, ratio
        }'
    done
  done
done
