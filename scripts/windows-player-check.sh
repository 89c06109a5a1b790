#!/usr/bin/env bash
# The Windows player's run under Wine: tavorin-play.exe plays through tavorin.dll into its
# own Win32 window, as a user runs it.
#
#   scripts/windows-player-check.sh ARCH BIN_DIR     ARCH: i686 or x86_64
#
# BIN_DIR holds tavorin-play.exe, tavorin.dll and the FFmpeg and libpng DLLs. Runs in the Wine
# environment of scripts/wine-env.sh (DISPLAY, WINEPREFIX, ... exported); the media are made
# first by the Linux ffmpeg from its test sources. Checks:
#   - the built-in clip and a short H.264 file play with every frame made released exactly
#     once and the report's counts adding up (made = delivered + unplayed, presented + dropped
#     = delivered, decoded = the file's frames);
#   - the final --snapshot of a still frame at 1:1 is ffmpeg's own picture of it within the
#     few levels YUV conversions differ by;
#   - a --script pauses (the picture and clock hold), seeks (the frame at the target is
#     shown) and goes full screen (the window covers the screen and the plug-in draws at that
#     size), as on Linux;
#   - dragging the window's border with the mouse gives the plug-in the new client area, and
#     the picture is drawn at that size;
#   - a damaged file plays what can be decoded and ends cleanly; a file that cannot be read
#     ends with exit status 4; --timing is refused with exit status 2.
# Answers the number of failed checks (0: all passed).
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
[ $# -eq 2 ] || { echo "usage: $0 i686|x86_64 BIN_DIR" >&2; exit 2; }
arch="$1"
bin="$(cd "$2" && pwd)" || exit 2
case "$arch" in
  i686) wine=/usr/lib/wine/wine ;;
  x86_64) wine=/usr/lib/wine/wine64 ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
[ -n "${DISPLAY:-}" ] || { echo "windows-player-check: no DISPLAY (run inside scripts/wine-env.sh's environment)" >&2; exit 2; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tavorin-winplay-$arch.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failures=0
pass() { echo "PASS $arch: $*"; }
fail() { echo "FAIL $arch: $*"; failures=$((failures + 1)); }

# play NAME ARGS...: runs the player; NAME.out, NAME.err and NAME.rc in $work.
play() {
  local name="$1"; shift
  (cd "$work" && WINEDEBUG=-all timeout 120 "$wine" "$bin/tavorin-play.exe" "$@" \
    >"$work/$name.out" 2>"$work/$name.err"; echo $? >"$work/$name.rc")
  tr -d '\r' <"$work/$name.out" >"$work/$name.txt"
}
rc() { cat "$work/$1.rc"; }
# field NAME LINE KEY: the value of KEY= on the first line of NAME's output starting LINE.
field() { grep -m1 "^$2 " "$work/$1.txt" | tr ' ' '\n' | sed -n "s/^$3=//p"; }
# field_of NAME LINE N KEY: the same on the N-th such line.
field_of() { grep "^$2 " "$work/$1.txt" | sed -n "$3p" | tr ' ' '\n' | sed -n "s/^$4=//p"; }

# ledger NAME [seeking]: every frame released once, the counts adding up; exit status 0.
# With seeking, frames a seek flushed from the queues were neither presented nor dropped.
ledger() {
  local n="$1" seeking="${2:-}" made delivered unplayed presented dropped
  [ "$(rc "$n")" = 0 ] || { fail "$n: exit status $(rc "$n"): $(tail -n 3 "$work/$n.err")"; return 1; }
  made=$(field "$n" REPORT made); delivered=$(field "$n" REPORT delivered); unplayed=$(field "$n" REPORT unplayed)
  presented=$(field "$n" REPORT presented); dropped=$(field "$n" REPORT dropped)
  [ -n "$made" ] || { fail "$n: no REPORT line"; return 1; }
  if [ "$(field "$n" REPORT released_ok)" != 1 ] || [ "$(field "$n" REPORT released)" != "$made" ] ||
     [ "$(field "$n" REPORT extra_releases)" != 0 ]; then
    fail "$n: frames not released exactly once: $(grep '^releases' "$work/$n.txt")"; return 1
  fi
  [ "$made" -eq $((delivered + unplayed)) ] || { fail "$n: made $made != delivered $delivered + unplayed $unplayed"; return 1; }
  [ "$presented" -gt 0 ] || { fail "$n: nothing presented"; return 1; }
  if [ -n "$seeking" ]; then
    [ $((presented + dropped)) -le "$delivered" ] || { fail "$n: presented $presented + dropped $dropped > delivered $delivered"; return 1; }
  else
    [ $((presented + dropped)) -eq "$delivered" ] || { fail "$n: presented $presented + dropped $dropped != delivered $delivered"; return 1; }
  fi
  [ "$(field "$n" REPORT window)" = win32 ] || { fail "$n: window $(field "$n" REPORT window), not win32"; return 1; }
  return 0
}

# difference A.png B.png: the mean and the largest difference per colour channel, in levels.
difference() {
  python3 - "$1" "$2" <<'PY'
import subprocess, sys
def rgb(path):
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height",
                            "-of", "csv=p=0", path], capture_output=True, text=True, check=True).stdout.split(",")
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                         capture_output=True, check=True).stdout
    return int(probe[0]), int(probe[1]), raw
wa, ha, a = rgb(sys.argv[1])
wb, hb, b = rgb(sys.argv[2])
if (wa, ha) != (wb, hb):
    print("size %dx%d against %dx%d" % (wa, ha, wb, hb)); sys.exit(1)
d = [abs(x - y) for x, y in zip(a, b)]
d.sort()
print("%.2f %d %d" % (sum(d) / len(d), d[int(len(d) * 0.999)], d[-1]))
PY
}

# same_picture LABEL SHOT REFERENCE: the shot is ffmpeg's picture within a few levels.
same_picture() {
  local mean p999 largest
  read -r mean p999 largest < <(difference "$2" "$3")
  if python3 -c "import sys; sys.exit(0 if $mean <= 2.0 and $p999 <= 8 else 1)" 2>/dev/null; then
    pass "$1: ffmpeg's picture within mean $mean, 99.9% within $p999, largest $largest levels"
  else
    fail "$1: differs from ffmpeg's picture: mean ${mean:-?}, 99.9% within ${p999:-?}, largest ${largest:-?} levels"
  fi
}

ff() { ffmpeg -v error -nostdin -y "$@"; }

# lit_mostly PNG: more than half of the picture's pixels are brighter than black.
lit_mostly() {
  python3 - "$1" <<'PY'
import subprocess, sys
raw = subprocess.run(["ffmpeg", "-v", "error", "-i", sys.argv[1], "-f", "rawvideo", "-pix_fmt", "gray", "-"],
                     capture_output=True, check=True).stdout
lit = sum(1 for v in raw if v > 16)
sys.exit(0 if lit > len(raw) // 2 else 1)
PY
}

echo "== $arch: media (Linux ffmpeg)"
ff -f lavfi -i testsrc2=size=320x240:rate=30:duration=2 -c:v libx264 -pix_fmt yuv420p "$work/testsrc2.mp4" || fail "ffmpeg testsrc2"
# A still picture: every frame the same, so the one shown at the end is known exactly.
ff -f lavfi -i smptehdbars=size=320x180:rate=25:duration=1 -c:v libx264 -pix_fmt yuv420p "$work/still.mp4" || fail "ffmpeg still"
# ffmpeg's picture of it through libswscale's bilinear conversion, the one the player asks for.
ff -i "$work/still.mp4" -frames:v 1 -sws_flags bilinear "$work/still-ffmpeg.png" || fail "ffmpeg still picture"
# Five seconds for the script.
ff -f lavfi -i testsrc2=size=320x240:rate=25:duration=5 -c:v libx264 -g 25 -pix_fmt yuv420p "$work/seek.mp4" || fail "ffmpeg seek"
# Damaged: the middle third of the H.264 file overwritten with noise; not a video at all.
cp "$work/testsrc2.mp4" "$work/damaged.mp4"
size=$(stat -c %s "$work/damaged.mp4")
dd if=/dev/urandom of="$work/damaged.mp4" bs=1 seek=$((size / 3)) count=$((size / 3)) conv=notrunc status=none
head -c 4096 /dev/urandom >"$work/noise.mp4"

echo "== $arch: built-in clip"
play clip --seconds 2 --size 320x180
if ledger clip; then
  if [ "$(field clip REPORT expected)" = 120 ] && [ "$(field clip REPORT delivered)" -le 120 ]; then
    pass "built-in clip: $(grep '^frames' "$work/clip.txt")"
  else
    fail "built-in clip: expected $(field clip REPORT expected) frames, not 120"
  fi
fi

echo "== $arch: H.264 file"
play h264 testsrc2.mp4
if ledger h264; then
  decoded=$(field h264 STREAM decoded)
  if [ "$decoded" = 60 ] && [ "$(field h264 REPORT damaged)" = 0 ]; then
    pass "H.264 file: $(grep '^frames' "$work/h264.txt")"
  else
    fail "H.264 file: decoded $decoded of 60 frames, damaged $(field h264 REPORT damaged)"
  fi
fi

echo "== $arch: snapshot at 1:1"
play still --window 320x180 --snapshot still.png still.mp4
if ledger still; then
  if [ ! -f "$work/still.png" ] || [ -f "$work/still.png.part" ]; then
    fail "snapshot: still.png not written whole"
  else
    same_picture "snapshot at 1:1" "$work/still.png" "$work/still-ffmpeg.png"
  fi
fi

echo "== $arch: scripted pause, seek, full screen"
# Pause at 1040 ms (file time 0.94 s: frame 23 of 25 a second), a snapshot; Home while paused
# (the first frame is shown at once), a snapshot; play on (each key a second after the
# snapshot asked for, which waits for the picture to settle); at 1.5 s f covers the screen and s
# takes its picture 600 ms later. Each paused picture is ffmpeg's own frame. At a quarter of
# normal speed, so that a loaded machine drops no frame that is to be compared (a frame dropped
# late leaves its place black).
ff -i "$work/seek.mp4" -vf 'select=eq(n\,23)' -frames:v 1 -sws_flags bilinear "$work/seek-23.png" || fail "ffmpeg frame 23"
ff -i "$work/seek.mp4" -frames:v 1 -sws_flags bilinear "$work/seek-0.png" || fail "ffmpeg frame 0"
play script --rate 250 --script 1040:space,+400:s,+1000:Home,+400:s,+1000:space,1500:f,+600:s --snapshot script.png seek.mp4
if ledger script seeking; then
  paused=$(field_of script SNAPSHOT 1 paused); media=$(field_of script SNAPSHOT 1 media)
  if [ "$paused" = 1 ] && [ "$media" = 1040 ]; then
    same_picture "script: paused at 1040 ms" "$work/script-1.png" "$work/seek-23.png"
  else
    fail "script: first snapshot paused=$paused media=$media, not paused at 1040"
  fi
  paused=$(field_of script SNAPSHOT 2 paused); media=$(field_of script SNAPSHOT 2 media)
  if [ "$paused" = 1 ] && [ "$media" = 100 ] && [ "$(field script REPORT seeks)" -ge 1 ]; then
    same_picture "script: Home while paused shows the first frame" "$work/script-2.png" "$work/seek-0.png"
  else
    fail "script: after Home paused=$paused media=$media seeks=$(field script REPORT seeks), not paused at the start"
  fi
  width=$(field_of script SNAPSHOT 3 width); height=$(field_of script SNAPSHOT 3 height)
  screen=$(xdpyinfo 2>/dev/null | sed -n 's/.*dimensions: *\([0-9]*x[0-9]*\) pixels.*/\1/p')
  if [ "${width}x${height}" = "${screen:-1920x1080}" ]; then pass "script: full screen ${width}x${height}"
  else fail "script: full-screen snapshot ${width}x${height}, screen ${screen:-1920x1080}"; fi
  # The plug-in drew at the new size: the picture fitted into the screen, not a black one.
  if lit_mostly "$work/script-3.png"; then pass "script: the full-screen picture is drawn"; else fail "script: the full-screen picture is mostly black"; fi
fi

echo "== $arch: resized by its border"
# As a user resizes it: the mouse drags the window's bottom right corner (Wine draws the frame
# itself on a server without a window manager) 360 pixels right and 160 down while the file
# plays; the snapshot after it must have the new client size, with the picture drawn into it.
(play resize --window 640x360 --script 3200:s --snapshot resize.png seek.mp4) &
player=$!
window=""
for _ in $(seq 50); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"tavorin-play": \("tavorin-play.exe"/ { print $1; exit }')
  [ -n "$window" ] && break
  sleep 0.1
done
outer() { xwininfo -id "$window" | awk -v k="$1" '$0 ~ k ":" { print $NF }'; }
if [ -n "$window" ]; then
  sleep 1
  x=$(outer "Absolute upper-left X"); y=$(outer "Absolute upper-left Y")
  width_before=$(outer Width); height_before=$(outer Height)
  corner_x=$((x + width_before - 2)); corner_y=$((y + height_before - 2))
  xdotool mousemove "$corner_x" "$corner_y" sleep 0.1 mousedown 1 sleep 0.1 \
    mousemove $((corner_x + 180)) $((corner_y + 80)) sleep 0.1 mousemove $((corner_x + 360)) $((corner_y + 160)) \
    sleep 0.2 mouseup 1
  sleep 0.3
  width_after=$(outer Width); height_after=$(outer Height)
fi
wait "$player"
if [ -z "$window" ]; then
  fail "resize: the player's window was not found"
elif ledger resize; then
  # The frame's share of the outer size stays; the client is what the plug-in draws into.
  want="$((640 + width_after - width_before))x$((360 + height_after - height_before))"
  got="$(field resize SNAPSHOT width)x$(field resize SNAPSHOT height)"
  if [ "$width_after" -gt "$width_before" ] && [ "$got" = "$want" ]; then
    pass "resize: dragged to $want, the snapshot is $got"
  else
    fail "resize: window ${width_before}x$height_before -> ${width_after}x$height_after, snapshot $got, not $want"
  fi
  if lit_mostly "$work/resize-1.png"; then pass "resize: the picture is drawn at the new size"
  else fail "resize: the picture after the resize is mostly black"; fi
fi

echo "== $arch: damaged files"
play damaged damaged.mp4
if [ "$(rc damaged)" = 0 ] && [ "$(field damaged REPORT released_ok)" = 1 ]; then
  pass "damaged file: ended cleanly, $(field damaged REPORT damaged) damaged, $(field damaged REPORT presented) presented"
elif [ "$(rc damaged)" = 4 ] && grep -q 'tavorin-play: damaged.mp4: ' "$work/damaged.err"; then
  pass "damaged file: refused with exit status 4: $(head -n1 "$work/damaged.err" | tr -d '\r')"
else
  fail "damaged file: exit status $(rc damaged): $(tail -n 3 "$work/damaged.err")"
fi
play noise noise.mp4
if [ "$(rc noise)" = 4 ] && grep -q 'tavorin-play: noise.mp4: cannot open' "$work/noise.err"; then
  pass "unreadable file: exit status 4, named"
else
  fail "unreadable file: exit status $(rc noise): $(tail -n 2 "$work/noise.err")"
fi
play timing --timing t.png
if [ "$(rc timing)" = 2 ] && grep -q 'cairo' "$work/timing.err"; then pass "--timing refused: $(head -n1 "$work/timing.err" | tr -d '\r')"
else fail "--timing: exit status $(rc timing)"; fi

echo "windows player ($arch): $failures failed"
exit "$failures"
