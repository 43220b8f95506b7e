#!/usr/bin/env bash
# Starts Osprel under Wine:  run.sh EXE [--screenshot PNG] [--dpi N] [--long-values]
# The Wine prefix is the user's own WINEPREFIX when set, as it is; otherwise the
# project's own, build/wineprefix-run, prepared like the tests' prefix.
#  --dpi N        the display scale (96, 120, 144, 192: 100 % to 200 %), in a
#                 project prefix of its own, build/wineprefix-run-dpiN: a
#                 user's prefix is never rescaled.
#  --long-values  a registered organisation and a product name too long for
#                 their lines, only in a project prefix, put back afterwards.
# With a display the program runs there until the user closes it. Without one
# (no DISPLAY), or with --screenshot, it runs on a private virtual display:
# the rows are printed as the live window shows them, a screenshot is saved,
# and the window is closed with Esc, as a user would.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

usage="usage: run.sh EXE [--screenshot PNG] [--dpi N] [--long-values]"
args=("$@")
exe=${1:?$usage}
shot="" dpi="" long_values=""
shift
while [ $# -gt 0 ]; do
  case $1 in
    --screenshot) shot=${2:?--screenshot needs a file}; shift 2 ;;
    --dpi) dpi=${2:?--dpi needs a number}; shift 2 ;;
    --long-values) long_values=1; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

if [ -n "$dpi" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run-dpi$dpi"
  export WINEPREFIX=$root/build/wineprefix-run-dpi$dpi
elif [ -z "${WINEPREFIX:-}" ] || [ -n "$long_values" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run"
  export WINEPREFIX=$root/build/wineprefix-run
fi
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

# Only once a display is at hand: the first Wine program of a session starts
# the prefix's desktop, and one started without a display leaves the next
# program with none. The scale is read when a program starts.
set_scale() {
  [ -z "$dpi" ] || wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
}

if [ -n "${DISPLAY:-}" ] && [ -z "$shot" ] && [ -z "$long_values" ] && [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  set_scale
  exec wine "$exe"
fi

# From here on: a private virtual display (with-display.sh below starts it).
if [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  unset DISPLAY
  OSPREL_ON_PRIVATE_DISPLAY=1 exec "$here/with-display.sh" --prefix "$WINEPREFIX" "$0" "${args[@]}"
fi
shot=${shot:-$root/build/osprel.png}
mkdir -p "$(dirname "$shot")"

set_scale

# The long values replace the prefix's own until this script ends.
version_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
# The 64-bit view, which Osprel reads: this key is not shared with the 32-bit one.
saved_names=() saved_texts=() saved_present=()
set_value() {   # NAME TEXT
  local found
  saved_names+=("$1")
  if found=$(wine reg query "$version_key" /v "$1" /reg:64 2>/dev/null); then saved_present+=(1); else saved_present+=(""); fi
  saved_texts+=("$(printf '%s\n' "$found" | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p")")
  wine reg add "$version_key" /v "$1" /t REG_SZ /d "$2" /reg:64 /f >/dev/null
}
put_back_values() {
  local i
  for i in "${!saved_names[@]}"; do
    if [ -n "${saved_present[$i]}" ]; then
      wine reg add "$version_key" /v "${saved_names[$i]}" /t REG_SZ /d "${saved_texts[$i]}" /reg:64 /f
    else
      wine reg delete "$version_key" /v "${saved_names[$i]}" /reg:64 /f
    fi >/dev/null 2>&1
  done
}
if [ -n "$long_values" ]; then
  trap put_back_values EXIT
  set_value RegisteredOrganization "Example Pharmaceuticals International Holdings GmbH & Co. KG"
  set_value ProductName "Windows Server 2012 R2 Datacenter Evaluation"
fi

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
