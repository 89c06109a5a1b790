#!/bin/sh
# The plug-in must export _getPlugin and nothing else.
set -eu
exports="$(nm -D --defined-only "$1" | awk '$2 ~ /^[TWDBRV]$/ {print $3}' | sort)"
if [ "$exports" != "_getPlugin" ]; then
  echo "unexpected exports of $1:"; echo "$exports"; exit 1
fi
echo "only _getPlugin is exported"
