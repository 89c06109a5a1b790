#!/bin/sh
# Real video through the plug-in: what presenting costs over decoding the same file.
#
# For 720p and 1080p H.264 at 30 and 60 frames per second (made here by ffmpeg from its
# testsrc2 source), measures in the same run:
#   decode_ms   CPU of decoding the file alone with the same libraries, one thread:
#               ffmpeg -threads 1 -i FILE -f null -
#   convert_ms  the same plus the conversion to 32-bit pixels the player does (libswscale):
#               ffmpeg -threads 1 -i FILE -pix_fmt bgr0 -f null -
#   play_ms     CPU of the whole player process playing the file off-screen through the
#               plug-in at the real media clock, one decoding thread:
#               tavorin-play --decode-threads 1 FILE (its REPORT line's cpu_ms)
# and prints
#   x_decode    (play_ms - decode_ms) / decode_ms: what converting and presenting add, in
#               units of decoding
#   x_present   (play_ms - convert_ms) / decode_ms: what presenting alone adds
#   share       frames presented / frames decoded
#   p95_ms      95th percentile lateness of presented frames, media milliseconds
#
# CPU times come from the shell's own account of its children (times), so each figure is the
# whole process: start-up, file opening and, for the player, loading the plug-in.
#
# usage: bench/player/files.sh [seconds per file, default 10] [build folder, default build]
set -eu
seconds=${1:-10}
build=${2:-build}
player="$build/bin/tavorin-play"
[ -x "$player" ] || { echo "files.sh: $player is missing; build tavorin-play first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "files.sh: the ffmpeg command-line tool is missing (package ffmpeg)" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Children's user + system CPU so far, in milliseconds, from the line times wrote into file $1.
children_ms() {
  awk 'NR == 2 {
    split($1, u, "m"); split($2, s, "m")
    printf "%.0f\n", (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }' "$1"
}

# Runs a command (output discarded) and sets ms to its CPU milliseconds. times must run in
# this shell, not in a command substitution's, to see the command's account.
measure() {
  times > "$scratch/before"
  "$@" > /dev/null 2>&1
  times > "$scratch/after"
  ms=$(( $(children_ms "$scratch/after") - $(children_ms "$scratch/before") ))
}

printf '%-10s %4s %10s %10s %8s %9s %10s %7s %7s\n' \
  size fps decode_ms convert_ms play_ms x_decode x_present share p95_ms
for size in 1280x720 1920x1080; do
  for fps in 30 60; do
    file="$scratch/$size-$fps.mp4"
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=$size:r=$fps:d=$seconds" -c:v libx264 -preset veryfast \
      -pix_fmt yuv420p "$file"
    measure ffmpeg -v error -nostdin -threads 1 -i "$file" -f null -
    decode=$ms
    measure ffmpeg -v error -nostdin -threads 1 -i "$file" -pix_fmt bgr0 -f null -
    convert=$ms
    env -u DISPLAY XDG_DATA_HOME="$scratch" "$player" --decode-threads 1 "$file" > "$scratch/out" 2> "$scratch/err" || {
      echo "files.sh: playing $size at $fps fps failed:" >&2; cat "$scratch/err" >&2; exit 1; }
    grep '^REPORT ' "$scratch/out" | tr ' ' '\n' | awk -F= -v size="$size" -v fps="$fps" -v decode="$decode" \
      -v convert="$convert" '
      NF == 2 { r[$1] = $2 }
      END {
        play = r["cpu_ms"]
        share = r["expected"] > 0 ? r["presented"] / r["expected"] : 0
        printf "%-10s %4d %10d %10d %8d %9.2f %10.2f %7.3f %7d\n", size, fps, decode, convert, play,
               (play - decode) / decode, (play - convert) / decode, share, r["late_p95"]
      }'
  done
done
