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

# Xvfb picks a free display number itself and writes it to fd 3: no race
# with other runs starting at the same moment.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$number_file" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
display=":$(tr -d '\n' <"$number_file")"
rm -f "$number_file"
if [ "$display" = ":" ]; then
  echo "with-display.sh: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi

DISPLAY=$display "$@"
rc=$?
for p in "${prefixes[@]}"; do
  [ -d "$p" ] && WINEPREFIX=$(cd "$p" && pwd) wineserver -k >/dev/null 2>&1
done
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
exit $rc
