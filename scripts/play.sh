#!/bin/sh
# Builds the project (installing what is missing) and plays through the plug-in: the files
# given, or else the built-in clip for a few seconds; in an X11 window when DISPLAY is set,
# off-screen otherwise. The window's last picture is written to tavorin-play.png in the project
# folder. Arguments go to tavorin-play; file names are taken as given from where this is run.
#   sh scripts/play.sh [options] [FILE...]
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
(cd "$root" && scripts/setup.sh build >/dev/null)
[ $# -eq 0 ] && set -- --seconds 4
exec "$root/build/bin/tavorin-play" --snapshot "$root/tavorin-play.png" "$@"
