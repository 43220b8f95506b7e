#!/usr/bin/env bash
# Starts Osprel under Wine:  run.sh EXE [--screenshot PNG] [--dpi N] [--long-values] [--names]
# The Wine prefix is the user's own WINEPREFIX when set, as it is (on a private
# display, one registry value for the run only, put back after); otherwise the
# project's own, build/wineprefix-run, prepared like the tests' prefix.
#  --dpi N        the display scale (96, 120, 144, 192: 100 % to 200 %), in a
#                 project prefix of its own, build/wineprefix-run-dpiN: a
#                 user's prefix is never rescaled.
#  --long-values  a registered organisation and a product name too long for
#                 their lines, only in a project prefix, put back afterwards.
#  --names        a registered owner in Chinese and an organisation in Greek,
#                 likewise.
# With a display the program runs there until the user closes it. Without one
# (no DISPLAY), or with --screenshot, it runs on a private virtual display:
# the rows are printed as the live window shows them, a screenshot is saved,
# and the window is closed with Esc, as a user would.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

usage="usage: run.sh EXE [--screenshot PNG] [--dpi N] [--long-values] [--names]"
args=("$@")
exe=${1:?$usage}
shot="" dpi="" long_values="" names=""
shift
while [ $# -gt 0 ]; do
  case $1 in
    --screenshot) shot=${2:?--screenshot needs a file}; shift 2 ;;
    --dpi) dpi=${2:?--dpi needs a number}; shift 2 ;;
    --long-values) long_values=1; shift ;;
    --names) names=1; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

if [ -n "$dpi" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run-dpi$dpi"
  export WINEPREFIX=$root/build/wineprefix-run-dpi$dpi
elif [ -z "${WINEPREFIX:-}" ] || [ -n "$long_values$names" ]; then
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

if [ -n "${DISPLAY:-}" ] && [ -z "$shot" ] && [ -z "$long_values$names" ] && [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
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

# Registry values this run changes go back to what they were when it ends,
# with their own type and data: their key is exported first, and afterwards
# the value's lines of that export are imported again; a value that was not
# there is deleted, and so is a key that the change made.
saved=$(mktemp -d)
# One per change, its fields split by \x1f (a tab would let empty ones merge):
# key, name, the file of its value before or none, the key to delete or none.
changes=()
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
reg_view() {   # KEY: HKLM is read in Osprel's 64-bit view; HKCU here is one view
  case $1 in HKLM*) echo /reg:64 ;; esac
}
change_value() {   # KEY NAME TYPE DATA
  local file="$saved/${#changes[@]}.reg" value="" made="" parent
  if wine reg export "$1" "$(windows_path "$file")" $(reg_view "$1") /y >/dev/null 2>&1; then
    value="$file.value"
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | awk -v name="\"$2\"=" '
      /^\[/ { if (!sections++) key = $0; next }
      sections == 1 && index($0, name) == 1 { on = 1; print "Windows Registry Editor Version 5.00\n\n" key }
      on { print; on = /\\$/ }' >"$value"   # reads to the end: an early exit would break the pipe
    [ -s "$value" ] || value=""
  else
    made=$1
    while parent=${made%\\*}; ! wine reg query "$parent" $(reg_view "$1") >/dev/null 2>&1; do made=$parent; done
  fi
  changes+=("$1"$'\x1f'"$2"$'\x1f'"$value"$'\x1f'"$made")
  wine reg add "$1" /v "$2" /t "$3" /d "$4" $(reg_view "$1") /f >/dev/null
}
put_back_values() {
  local i key name value made
  for ((i = ${#changes[@]} - 1; i >= 0; i--)); do
    IFS=$'\x1f' read -r key name value made <<<"${changes[$i]}"
    if [ -n "$made" ]; then
      wine reg delete "$made" $(reg_view "$key") /f
    elif [ -n "$value" ]; then
      { printf '\xff\xfe'; sed 's/$/\r/' "$value" | iconv -f UTF-8 -t UTF-16LE; } >"$value.utf16"
      wine reg import "$(windows_path "$value.utf16")" $(reg_view "$key")
    else
      wine reg delete "$key" /v "$name" $(reg_view "$key") /f
    fi >/dev/null || echo "run.sh: could not put back $key\\$name" >&2
  done
  changes=()
  rm -rf "$saved"
}

program=""
finish() {
  local rc=$?
  trap - EXIT INT TERM
  set +e   # whatever fails here, the values still go back
  [ -z "$program" ] || kill "$program" 2>/dev/null
  put_back_values
  exit $rc
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Wine draws captions itself only with Managed=N, read when a program starts:
# without a window manager on the private display the window would have no
# caption to click, and would never become active to take Esc. The project's
# prefixes have it; a user's own gets it for Osprel.exe for this run only.
project_prefix() { [ -e "$WINEPREFIX/.osprel-made" ] || [ -e "$WINEPREFIX/.osprel-ready" ]; }
project_prefix || change_value 'HKCU\Software\Wine\AppDefaults\Osprel.exe\X11 Driver' Managed REG_SZ N
if [ -n "$long_values" ]; then
  # The 64-bit view, which Osprel reads: this key is not shared with the 32-bit one.
  version_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
  change_value "$version_key" RegisteredOrganization REG_SZ "Example Pharmaceuticals International Holdings GmbH & Co. KG"
  change_value "$version_key" ProductName REG_SZ "Windows Server 2012 R2 Datacenter Evaluation"
fi
if [ -n "$names" ]; then
  # reg.exe reads its command line in the locale's character set: UTF-8 here
  # whatever the caller's, so that the names arrive whole.
  version_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
  LC_ALL=C.UTF-8 change_value "$version_key" RegisteredOwner REG_SZ "Prüferin 测试所有者"
  LC_ALL=C.UTF-8 change_value "$version_key" RegisteredOrganization REG_SZ "Οργανισμός Δοκιμών"
fi

wine "$exe" &
program=$!
rows=$(wine "$(dirname "$exe")/tools/show_rows.exe" 20000)
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
  exit 1
fi
wait $program
program=""
