#!/bin/sh
# Builds the project (installing what is missing) and plays the built-in clip through the
# plug-in for a few seconds: in an X11 window when DISPLAY is set, off-screen otherwise. The
# window's last picture is written to tavorin-play.png. Extra arguments go to tavorin-play.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh build >/dev/null
exec build/bin/tavorin-play --seconds 4 --snapshot tavorin-play.png "$@"
