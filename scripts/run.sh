#!/usr/bin/env bash
# Starts Osprel under Wine:  run.sh EXE [--screenshot PNG]
# The Wine prefix is the user's own WINEPREFIX when set, as it is; otherwise the
# project's own, build/wineprefix-run, prepared like the tests' prefix.
# With a display the program runs there until the user closes it. Without one
# (no DISPLAY), or with --screenshot, it runs on a private virtual display:
# the rows are printed as the live window shows them, a screenshot is saved,
# and the window is closed with Esc, as a user would.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

exe=${1:?usage: run.sh EXE [--screenshot PNG]}
shot=""
[ "${2:-}" = --screenshot ] && shot=${3:?--screenshot needs a file}

if [ -z "${WINEPREFIX:-}" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run"
  export WINEPREFIX=$root/build/wineprefix-run
fi
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

if [ -n "${DISPLAY:-}" ] && [ -z "$shot" ] && [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  exec wine "$exe"
fi

# From here on: a private virtual display (with-display.sh below starts it).
if [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  unset DISPLAY
  OSPREL_ON_PRIVATE_DISPLAY=1 exec "$here/with-display.sh" --prefix "$WINEPREFIX" "$0" "$@"
fi
shot=${shot:-$root/build/osprel.png}
mkdir -p "$(dirname "$shot")"

wine "$exe" &
program=$!
rows=$(wine "$(dirname "$exe")/tools/show_rows.exe" 20000) || { kill $program; exit 1; }
printf '%s\n' "$rows" | grep -v '^window '

# A click on the caption makes the window active, as a user's first click would.
read -r _ x y w h <<<"$(printf '%s\n' "$rows" | grep '^window ')"
xdotool mousemove $((x + w / 2)) $((y + 8)) click 1
sleep 0.5   # let the active caption's paint reach the screen
import -window root "$shot.full.png"
convert "$shot.full.png" -crop "${w}x${h}+${x}+${y}" +repage "$shot"
rm -f "$shot.full.png"
echo "Screenshot: $shot"

xdotool key Escape
for _ in $(seq 100); do
  kill -0 $program 2>/dev/null || break
  sleep 0.1
done
if kill -0 $program 2>/dev/null; then
  echo "Osprel did not close on Esc" >&2
  kill $program
  exit 1
fi
wait $program
