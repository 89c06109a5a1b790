#!/bin/sh
# tavorin-play beside other players on the same files, in one X server.
#
# Installs the peers from Debian where missing (mpv, ffmpeg's ffplay, GStreamer's gst-launch
# with its base, good, bad and libav plug-ins, GNU time, Xvfb), makes H.264 files with ffmpeg
# from testsrc2, and plays each case with every player, one decoding thread each, into a window
# of the case's size under one private Xvfb. The whole matrix runs twice, the second time in the
# opposite player order, so that a player is not always the one after the same other.
#
# For each case and run it prints, per player:
#   cpu_s     user + system CPU of the whole player process (GNU time)
#   decode_s  CPU of decoding the same file alone, measured in the same run:
#             ffmpeg -threads 1 -i FILE -f null -
#   x_decode  presentation cost in units of decode: (cpu_s - decode_s) / decode_s, i.e. what the
#             player spends on top of decoding (converting, scaling, presenting, its own loop)
#   shown     frames shown, of the file's frames
#   dropped   frames the player reports dropped
# How each player's counts are read: tavorin-play's REPORT line (presented, dropped); mpv's
# frame-drop-count plus decoder-frame-drop-count, shown = frames - dropped; ffplay's fd= (frame
# drops; SDL's software renderer, the CPU-only one), shown = frames - dropped; GStreamer's
# fpsdisplaysink "rendered" and "dropped" as of its last report (every 100 ms, so up to a few
# frames short; frames its decoder skipped under QoS appear in neither).
#
# The players:
#   tavorin   tavorin-play --decode-threads 1 --window WxH FILE
#   mpv       mpv --no-config --vo=x11 --vd-lavc-threads=1 --no-audio --geometry=WxH FILE
#   ffplay    SDL_RENDER_DRIVER=software ffplay -autoexit -an -threads 1 -x W -y H FILE
#   gst       gst-launch-1.0 filesrc ! qtdemux ! h264parse ! avdec_h264 max-threads=1 !
#             videoconvert ! videoscale ! video/x-raw,width=W,height=H ! fpsdisplaysink(ximagesink)
#
# usage: bench/player/peers.sh [--quick] [--baseline DIR] [build folder, default build]
#   --baseline DIR: also plays with DIR/tavorin-play and DIR/libtavorin.so (player "base"),
#            e.g. copies from an earlier commit, for a before/after in the same run
#   full:    10 s files; 720p30 1:1, 720p30 -> 1080p, 1080p30 1:1, 1080p60 1:1,
#            2160p30 -> 1080p, 2160p30 1:1 (about 25 minutes on 2 cores)
#   --quick: 5 s files; 720p30 -> 1080p, 1080p30 1:1, 1080p60 1:1 (about 5 minutes)
set -eu
quick=0
baseline=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1; shift ;;
    --baseline) baseline=$2; shift 2 ;;
    *) break ;;
  esac
done
build=${1:-build}
player="$build/bin/tavorin-play"
[ -x "$player" ] || { echo "peers.sh: $player is missing; build tavorin-play first" >&2; exit 1; }

PKG_TAG=peers.sh PKG_SCRIPTS="$(cd "$(dirname "$0")/../../scripts" && pwd)"
. "$PKG_SCRIPTS/packages.sh"
# shellcheck disable=SC2046
pkg_install $(pkg_set peers)

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# One server for every player, big enough for a 2160p window.
display=:$(( 90 + $$ % 100 ))
Xvfb "$display" -screen 0 3840x2160x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
sleep 1
export DISPLAY="$display"

if [ "$quick" -eq 1 ]; then
  seconds=5
  cases="1280x720:30:1920x1080 1920x1080:30:1920x1080 1920x1080:60:1920x1080"
else
  seconds=10
  cases="1280x720:30:1280x720 1280x720:30:1920x1080 1920x1080:30:1920x1080 1920x1080:60:1920x1080 \
3840x2160:30:1920x1080 3840x2160:30:3840x2160"
fi

# Runs a command under GNU time; sets cpu to its user + system seconds. Output goes to $scratch/out.
timed() {
  /usr/bin/time -f '%U %S' -o "$scratch/time" "$@" > "$scratch/out" 2>&1 || true
  cpu=$(awk 'END { printf "%.2f", $1 + $2 }' "$scratch/time")
}

# Plays $file into a $window window with player $1; sets cpu, shown and dropped.
play() {
  w=${window%x*}
  h=${window#*x}
  case "$1" in
    tavorin)
      timed env XDG_DATA_HOME="$scratch" "$player" --decode-threads 1 --window "$window" "$file"
      shown=$(sed -n 's/^REPORT .* presented=\([0-9]*\).*/\1/p' "$scratch/out")
      dropped=$(sed -n 's/^REPORT .* dropped=\([0-9]*\).*/\1/p' "$scratch/out") ;;
    base)
      timed env XDG_DATA_HOME="$scratch" "$baseline/tavorin-play" --plugin "$baseline/libtavorin.so" \
        --decode-threads 1 --window "$window" "$file"
      shown=$(sed -n 's/^REPORT .* presented=\([0-9]*\).*/\1/p' "$scratch/out")
      dropped=$(sed -n 's/^REPORT .* dropped=\([0-9]*\).*/\1/p' "$scratch/out") ;;
    mpv)
      timed mpv --no-config --vo=x11 --vd-lavc-threads=1 --no-audio --geometry="$window" \
        --term-status-msg='STATUS dropped=${frame-drop-count} skipped=${decoder-frame-drop-count}' "$file"
      dropped=$(tr '\r' '\n' < "$scratch/out" | sed -n 's/.*STATUS dropped=\([0-9]*\) skipped=\([0-9]*\).*/\1 \2/p' |
        tail -n 1 | awk '{ print $1 + $2 }') ;;
    ffplay)
      timed env SDL_RENDER_DRIVER=software ffplay -autoexit -an -threads 1 -x "$w" -y "$h" "$file"
      dropped=$(tr '\r' '\n' < "$scratch/out" | sed -n 's/.* fd= *\([0-9]*\).*/\1/p' | tail -n 1) ;;
    gst)
      timed gst-launch-1.0 -v filesrc location="$file" ! qtdemux ! h264parse ! avdec_h264 max-threads=1 ! \
        videoconvert ! videoscale ! "video/x-raw,width=$w,height=$h" ! \
        fpsdisplaysink text-overlay=false fps-update-interval=100 video-sink=ximagesink
      last=$(grep -ao 'rendered: [0-9]*, dropped: [0-9]*' "$scratch/out" | tail -n 1)
      shown=$(echo "$last" | sed -n 's/rendered: \([0-9]*\).*/\1/p')
      dropped=$(echo "$last" | sed -n 's/.*dropped: \([0-9]*\)/\1/p') ;;
  esac
  dropped=${dropped:-?}
  [ "$1" = tavorin ] || [ "$1" = base ] || [ "$1" = gst ] || { [ "$dropped" = "?" ] && shown="?" || shown=$(( frames - dropped )); }
  shown=${shown:-?}
}

echo "load before: $(uptime | sed 's/.*load average: //')"
for size_rate in $(for c in $cases; do echo "${c%:*}"; done | sort -u); do
  size=${size_rate%:*}
  rate=${size_rate#*:}
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=$size:r=$rate:d=$seconds" -c:v libx264 -preset veryfast \
    -pix_fmt yuv420p "$scratch/$size-$rate.mp4"
done

printf '%-4s %-10s %4s %-10s %-8s %7s %9s %9s %6s %8s\n' run file fps window player cpu_s decode_s x_decode shown dropped
for run in 1 2; do
  order="tavorin mpv ffplay gst${baseline:+ base}"
  [ "$run" -eq 2 ] && order="${baseline:+base }gst ffplay mpv tavorin"
  for c in $cases; do
    size=${c%%:*}
    rest=${c#*:}
    rate=${rest%%:*}
    window=${rest#*:}
    file="$scratch/$size-$rate.mp4"
    frames=$(( seconds * rate ))
    timed ffmpeg -v error -nostdin -threads 1 -i "$file" -f null -
    decode=$cpu
    for p in $order; do
      play "$p"
      x=$(awk -v c="$cpu" -v d="$decode" 'BEGIN { printf "%.2f", (d > 0) ? (c - d) / d : 0 }')
      printf '%-4s %-10s %4s %-10s %-8s %7s %9s %9s %6s %8s\n' "$run" "$size" "$rate" "$window" "$p" "$cpu" \
        "$decode" "$x" "$shown/$frames" "$dropped"
    done
  done
done
echo "load after: $(uptime | sed 's/.*load average: //')"
