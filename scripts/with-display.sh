#!/usr/bin/env bash
# Runs a command with an X display: the caller's own when DISPLAY is set,
# otherwise a private Xvfb started for the command and stopped after it.
# Wine servers started on a private display are stopped with it, so that no
# Wine process outlives the display it was drawing on.
#   with-display.sh [--prefix WINEPREFIX]... COMMAND [ARGS...]
set -uo pipefail

prefixes=()
while [ "${1:-}" = --prefix ]; do prefixes+=("$2"); shift 2; done

if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi

for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

DISPLAY=$display "$@"
rc=$?
for p in "${prefixes[@]}"; do
  [ -d "$p" ] && WINEPREFIX=$(cd "$p" && pwd) wineserver -k >/dev/null 2>&1
done
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
exit $rc
