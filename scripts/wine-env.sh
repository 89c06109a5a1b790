#!/usr/bin/env bash
# An X display and a Wine environment for running the Windows test programs, 64- and 32-bit:
#
#   eval "$(scripts/wine-env.sh start)"   starts Xvfb and a persistent wineserver, prepares the
#                                        Wine prefix, prints the environment as export lines
#   scripts/wine-env.sh env               prints the environment of the running set again
#   scripts/wine-env.sh stop              ends that Xvfb and wineserver (by process id)
#
# Everything lives in one folder: $TAVORIN_WINE_DIR, else ${TMPDIR:-/tmp}/tavorin-wine-<uid>
# (a second argument overrides both). "start" on a running set only prints its environment.
# CTest then runs the programs with this environment through /usr/lib/wine/wine64 or, for
# 32-bit ones, /usr/lib/wine/wine (the toolchains' CMAKE_CROSSCOMPILING_EMULATOR). The prefix
# is a 64-bit one: with Wine 32 installed beside Wine 64 it runs both kinds of program, so
# one prefix and one server serve both test runs.
set -euo pipefail

wine=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
wineserver=/usr/lib/wine/wineserver64
cmd="${1:-}"
dir="${2:-${TAVORIN_WINE_DIR:-${TMPDIR:-/tmp}/tavorin-wine-$(id -u)}}"

log() { printf 'wine-env: %s\n' "$*" >&2; }
# On failure stdout carries "false", so that `eval "$(wine-env.sh start)" && ...` stops too.
die() { log "error: $*"; echo false; exit 1; }
alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

print_env() {
  [ -f "$dir/env" ] || die "not started (no $dir/env)"
  cat "$dir/env"
}

stop_pid() {
  local file="$1" name="$2" pid i
  [ -f "$file" ] || return 0
  pid="$(cat "$file")"
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for i in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      log "$name ($pid) did not stop; killing it"
      kill -9 "$pid" 2>/dev/null || true
    fi
  fi
  rm -f "$file"
}

start() {
  if alive "$dir/xvfb.pid" && alive "$dir/wineserver.pid" && [ -f "$dir/env" ]; then
    print_env
    return
  fi
  stop
  [ -x "$wine" ] && [ -x "$wineserver" ] || die "Wine 64 is missing: run scripts/windows-deps.sh"
  [ -x "$wine32" ] || die "Wine 32 (wine32:i386) is missing: run scripts/windows-deps.sh"
  command -v Xvfb >/dev/null || die "Xvfb is missing: run scripts/windows-deps.sh"
  mkdir -p "$dir"
  # Wine takes only an absolute prefix.
  dir="$(cd "$dir" && pwd)"

  # -displayfd: Xvfb takes the first free display and writes its number once it accepts
  # clients.
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp \
    3>"$dir/display" >"$dir/xvfb.log" 2>&1 </dev/null &
  echo $! >"$dir/xvfb.pid"
  local i
  for i in $(seq 100); do
    [ -s "$dir/display" ] && break
    alive "$dir/xvfb.pid" || die "Xvfb failed, see $dir/xvfb.log"
    sleep 0.1
  done
  [ -s "$dir/display" ] || die "Xvfb did not report a display, see $dir/xvfb.log"
  local display=":$(head -n1 "$dir/display" | tr -dc 0-9)"

  export DISPLAY="$display"
  export WINEPREFIX="$dir/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINESERVER="$wineserver"
  export WINEARCH=win64

  # A new prefix is made under a server of its own, which is then ended: in the session that
  # creates a prefix, Wine 8's RPC service does not start, and every program that brings up
  # the desktop (any window) then waits 10 seconds for it, in vain. From the next start on it
  # runs.
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot -i >/dev/null 2>&1 || die "wineboot failed creating the prefix"
    # That server ends by itself once only Wine's own services are left, ending them too.
    timeout 60 "$wineserver" -w >/dev/null 2>&1 || "$wineserver" -k >/dev/null 2>&1 || true
  fi

  # A persistent server: every test program would otherwise start one and wait for it.
  "$wineserver" -f -p >"$dir/wineserver.log" 2>&1 </dev/null &
  echo $! >"$dir/wineserver.pid"
  sleep 0.2
  alive "$dir/wineserver.pid" || die "wineserver failed, see $dir/wineserver.log"

  log "preparing the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || die "wineboot failed"
  # Without a window manager a managed window makes DestroyWindow wait two seconds for it.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 \
    || die "setting the X11 driver registry key failed"

  {
    printf 'export DISPLAY=%q\n' "$DISPLAY"
    printf 'export WINEPREFIX=%q\n' "$WINEPREFIX"
    printf 'export WINEDEBUG=%q\n' "$WINEDEBUG"
    printf 'export WINEDLLOVERRIDES=%q\n' "$WINEDLLOVERRIDES"
    printf 'export WINESERVER=%q\n' "$WINESERVER"
    printf 'export WINEARCH=%q\n' "$WINEARCH"
  } >"$dir/env"
  log "Xvfb on $DISPLAY (pid $(cat "$dir/xvfb.pid")), wineserver pid $(cat "$dir/wineserver.pid")"
  print_env
}

stop() {
  # First the server of this prefix ends the Windows processes it serves (services, explorer
  # desktop, ...) and itself, writing out the registry; then any leftover by its process id.
  if alive "$dir/wineserver.pid"; then
    WINEPREFIX="$dir/prefix" "$wineserver" -k >/dev/null 2>&1 || true
    local i
    for i in $(seq 50); do alive "$dir/wineserver.pid" || break; sleep 0.1; done
  fi
  stop_pid "$dir/wineserver.pid" wineserver
  stop_pid "$dir/xvfb.pid" Xvfb
  rm -f "$dir/env" "$dir/display"
}

case "$cmd" in
  start) start ;;
  env) print_env ;;
  stop) stop ;;
  *) echo "usage: $0 start|env|stop [folder]" >&2; exit 2 ;;
esac
