#!/usr/bin/env bash
# Starts Osprel under Wine:  run.sh EXE [--screenshot PNG] [--dpi N] [--long-values] [--names]
# The Wine prefix is the user's own WINEPREFIX when set, used as it is: the
# run writes nothing into it (on a private display a window manager gives the
# window its caption). Otherwise it is the project's own, build/wineprefix-run,
# prepared like the tests' prefix.
#  --dpi N        the display scale (96, 120, 144, 192: 100 % to 200 %)
#  --long-values  a registered organisation and a product name too long for
#                 their lines
#  --names        a registered owner in Chinese and an organisation in Greek
# Each of these in a project prefix of its own, named after them
# (build/wineprefix-run-dpi144-long): a user's prefix and the plain run's
# are never rescaled or given other values, so nothing is put back.
# With a display the program runs there until the user closes it. Without one
# (no DISPLAY), or with --screenshot, it runs on a private virtual display:
# the rows are printed as the live window shows them, a screenshot is saved,
# and the window is closed with Esc, as a user would.
# Where it cannot run (the 32-bit program on a machine that cannot run Wine's
# 32-bit loader, a relative WINEPREFIX, a WINEPREFIX holding other things than
# a Wine prefix, a 64-bit program and a 32-bit prefix, a prefix without its Z:
# drive, a DISPLAY that does not open) it says so and ends with status 2
# before doing anything.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"

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

refuse() { echo "run.sh: $*" >&2; exit 2; }

# The scale names a prefix's folder below build/ and a REG_DWORD: a whole
# number (make screenshot offers the scales README shows, DPIS).
[[ -z $dpi || $dpi =~ ^[1-9][0-9]{0,3}$ ]] || refuse "--dpi $dpi is not a whole number of pixels per inch"

# The 32-bit program needs Wine's 32-bit loader (wine-env.sh says why it
# cannot run, where it cannot).
pe_64bit "$exe" || wine32_ready || exit 2

# The caller's display, or (none, --screenshot, values to set) a private one.
on_callers_display=""
if [ -n "${DISPLAY:-}" ] && [ -z "$shot$long_values$names${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  on_callers_display=1
  timeout 10 xdpyinfo >/dev/null 2>&1 ||
    refuse "DISPLAY=$DISPLAY cannot be opened; name a display that is there, or unset DISPLAY" \
           "to run on a private virtual display"
fi

picture=${dpi:+-dpi$dpi}${long_values:+-long}${names:+-names}
if [ -n "$picture" ] || [ -z "${WINEPREFIX:-}" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run$picture"
  wine_env "$root/build/wineprefix-run$picture"
else
  # The user's own prefix, checked before anything touches it.
  case $WINEPREFIX in
    /*) ;;
    *) refuse "WINEPREFIX=$WINEPREFIX is a relative path, which Wine does not take; name the" \
              "folder from the root: WINEPREFIX=$(realpath -m -- "$WINEPREFIX")" ;;
  esac
  wine_env "$WINEPREFIX"
  # Wine makes a prefix in any folder it is named: only in one that is not
  # there or is empty, never over a folder of other things (a home folder).
  # A prefix has its dosdevices from its first start; system.reg only once
  # its server has saved the registry (on ending, or half a minute after a
  # change), so a prefix made moments ago and still in use has none yet.
  if [ -d "$WINEPREFIX" ] && [ ! -f "$WINEPREFIX/system.reg" ] && [ ! -d "$WINEPREFIX/dosdevices" ] &&
     [ -n "$(find "$WINEPREFIX" -mindepth 1 -maxdepth 1 -print -quit 2>/dev/null)" ]; then
    refuse "WINEPREFIX=$WINEPREFIX is a folder that is not a Wine prefix (it has neither system.reg" \
           "nor dosdevices), and Wine would turn it into one; it is left as it is: name a prefix, an" \
           "empty or absent folder, or unset WINEPREFIX to use the project's own"
  fi
  arch=${WINEARCH:-win64}
  [ ! -d "$WINEPREFIX/drive_c" ] || arch=$(prefix_arch "$WINEPREFIX")
  if [ "$arch" = win32 ] && pe_64bit "$exe"; then
    refuse "$exe is a 64-bit program and $WINEPREFIX is a 32-bit prefix, which runs" \
           "32-bit programs only: start the 32-bit Osprel (make run ARCH=win32)"
  fi
  if [ -d "$WINEPREFIX/dosdevices" ] && ! z_drive_ok; then
    refuse "$WINEPREFIX has no Z: drive for the Unix root (dosdevices/z:), through which Wine" \
           "finds Osprel.exe and show_rows.exe; it is left as it is: give it its Z: drive back" \
           "(winecfg, Drives) or name another prefix"
  fi
fi

# Only once a display is at hand: the first Wine program of a session starts
# the prefix's desktop, and one started without a display leaves the next
# program with none. The scale is read when a program starts. These values
# go only into a prefix of the picture's own (above); reg.exe reads its
# command line in the locale's character set: UTF-8 here whatever the
# caller's, so that the names arrive whole, and gives its reasons on its
# standard output.
set_value() {   # KEY NAME TYPE DATA
  local said
  said=$(LC_ALL=C.UTF-8 wine reg add "$1" /v "$2" /t "$3" /d "$4" /reg:64 /f </dev/null 2>&1) || {
    printf '%s\n' "$said" >&2
    echo "run.sh: could not set $2 to $4 in $WINEPREFIX (wine reg add's words above)" >&2
    exit 1
  }
}
set_values() {
  local version='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'   # the view Osprel reads
  [ -z "$dpi" ] || set_value 'HKCU\Control Panel\Desktop' LogPixels REG_DWORD "$dpi"
  if [ -n "$long_values" ]; then
    set_value "$version" RegisteredOrganization REG_SZ "Example Pharmaceuticals International Holdings GmbH & Co. KG"
    set_value "$version" ProductName REG_SZ "Windows Server 2012 R2 Datacenter Evaluation"
  fi
  if [ -n "$names" ]; then
    set_value "$version" RegisteredOwner REG_SZ "Prüferin 测试所有者"
    set_value "$version" RegisteredOrganization REG_SZ "Οργανισμός Δοκιμών"
  fi
}

if [ -n "$on_callers_display" ]; then
  set_values
  exec wine "$exe"
fi

# From here on: a private virtual display (with-display.sh below starts it).
if [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  # Without Wine's own captions (Managed=N, set in the project's prefixes
  # when they are made) a window manager draws the window's caption and
  # gives it the focus, which Esc needs; nothing is written into the prefix.
  unset DISPLAY
  window_manager=(--window-manager)
  ! project_prefix "$WINEPREFIX" || window_manager=()
  OSPREL_ON_PRIVATE_DISPLAY=1 exec "$here/with-display.sh" --prefix "$WINEPREFIX" "${window_manager[@]}" \
    "$0" "${args[@]}"
fi
shot=${shot:-$root/build/osprel.png}
mkdir -p "$(dirname "$shot")"

set_values

program="" reader="" out=""
finish() {
  local rc=$?
  trap - EXIT INT TERM HUP
  set +e   # whatever fails here, the rest is still done
  # shellcheck disable=SC2086 # none, one or two process ids
  [ -z "$program$reader" ] || kill $program $reader 2>/dev/null
  [ -z "$out" ] || rm -rf "$out"
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The Wine server and Wine's own services, started by the first of these, may
# outlive the run (a program the run did not start can join them): they get
# none of the caller's descriptors, which would keep a pipe from the run open.
wine "$exe" </dev/null >/dev/null 2>&1 &
program=$!
out=$(mktemp -d)
# The window shows within seconds; the 32-bit program's, where Wine's 32-bit
# loader runs through an emulator, some seconds later (6 s on an idle machine).
wait_ms=20000
pe_64bit "$exe" || [ "$wine32" != emulated ] || wait_ms=60000
# In the background, waited for: an interrupt ends the run at once.
wine "$(dirname "$exe")/tools/show_rows.exe" $wait_ms </dev/null >"$out/rows" 2>"$out/errors" &
reader=$!
status=0
wait $reader || status=$?
reader=""
rows=$(cat "$out/rows") errors=$(cat "$out/errors")
[ -z "$errors" ] || printf '%s\n' "$errors" >&2
if [ $status != 0 ]; then
  # What it printed before it failed, and that it failed: Wine's own words
  # (a program it cannot start) come without a line of show_rows'.
  [ -z "$rows" ] || printf '%s\n' "$rows" >&2
  echo "run.sh: show_rows.exe could not read Osprel's rows in $WINEPREFIX (status $status)" >&2
  exit $status
fi
printf '%s\n' "$rows" | grep -v '^window '

# A click in the window makes it active, as a user's first click would: in
# the middle, on the rows, which take no clicks. Not on the caption: where
# the window manager draws it (a user's prefix), Wine 10 does not take the
# focus that a click there hands it, and Esc goes to the window manager.
read -r _ x y w h <<<"$(printf '%s\n' "$rows" | grep '^window ')"
click() { xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1; }
click
sleep 0.5   # let the active caption's paint reach the screen
import -window root "$shot.full.png"
convert "$shot.full.png" -crop "${w}x${h}+${x}+${y}" +repage "$shot"
rm -f "$shot.full.png"
echo "Screenshot: $shot"

# Another program of the prefix's Wine server (on another display) can take
# the foreground and with it the key: then, as a user would, click the
# window again and press Esc again.
closed() { ! kill -0 "$program" 2>/dev/null; }
for attempt in 1 2 3; do
  [ $attempt = 1 ] || { click; sleep 0.3; }
  xdotool key Escape
  wait_until 4 closed && break
done
if ! closed; then
  echo "run.sh: Osprel did not close on Esc" >&2
  exit 1
fi
wait "$program"
program=""
