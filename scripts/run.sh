#!/usr/bin/env bash
# Starts Osprel under Wine:  run.sh EXE [--screenshot PNG] [--dpi N] [--long-values] [--names]
# In the user's own WINEPREFIX when set, writing nothing into it; else in the
# project's build/wineprefix-run. --dpi (96 to 192: 100 % to 200 %),
# --long-values (texts too long for their lines) and --names (an owner in
# Chinese, an organisation in Greek) each get a project prefix of their own
# (build/wineprefix-run-dpi144-long), so nothing is ever put back.
# With a display the program runs there until the user closes it. Without one,
# or with --screenshot, it runs on a private virtual display: the rows are
# printed as the window shows them, a screenshot is saved, and Esc closes it.
# What it cannot run it refuses, status 2, before doing anything.
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

# The scale names a folder and is a REG_DWORD.
[[ -z $dpi || $dpi =~ ^[1-9][0-9]{0,3}$ ]] || refuse "--dpi $dpi is not a whole number of pixels per inch"
pe_64bit "$exe" || wine32_ready || exit 2

on_callers_display=""
if [ -n "${DISPLAY:-}" ] && [ -z "$shot$long_values$names${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  on_callers_display=1
  timeout 10 xdpyinfo >/dev/null 2>&1 ||
    refuse "DISPLAY=$DISPLAY cannot be opened; name a display that is there, or unset DISPLAY" \
           "to run on a private virtual display"
fi

# A user's prefix, checked before anything touches it.
check_users_prefix() {
  [[ $WINEPREFIX == /* ]] ||
    refuse "WINEPREFIX=$WINEPREFIX is a relative path, which Wine does not take; name the" \
           "folder from the root: WINEPREFIX=$(realpath -m -- "$WINEPREFIX")"
  wine_env "$WINEPREFIX"
  # Wine would make a prefix of any folder: only of an absent or empty one. A
  # prefix has dosdevices from its first start, system.reg only once saved.
  if [ -d "$WINEPREFIX" ] && [ ! -f "$WINEPREFIX/system.reg" ] && [ ! -d "$WINEPREFIX/dosdevices" ] &&
     [ -n "$(find "$WINEPREFIX" -mindepth 1 -maxdepth 1 -print -quit 2>/dev/null)" ]; then
    refuse "WINEPREFIX=$WINEPREFIX is a folder that is not a Wine prefix (it has neither system.reg" \
           "nor dosdevices), and Wine would turn it into one; it is left as it is: name a prefix, an" \
           "empty or absent folder, or unset WINEPREFIX to use the project's own"
  fi
  local arch=${WINEARCH:-win64}
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
}

picture=${dpi:+-dpi$dpi}${long_values:+-long}${names:+-names}
if [ -n "$picture" ] || [ -z "${WINEPREFIX:-}" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run$picture"
  wine_env "$root/build/wineprefix-run$picture"
else
  check_users_prefix
fi

# Into a picture's own prefix only, once a display is at hand (a session's
# first Wine program without one leaves the next with none; the scale is read
# at start). reg.exe reads its command line in the locale's character set,
# here UTF-8, and gives its reasons on its standard output.
set_value() {   # KEY NAME TYPE DATA
  local said
  said=$(LC_ALL=C.UTF-8 wine reg add "$1" /v "$2" /t "$3" /d "$4" /reg:64 /f </dev/null 2>&1) || {
    printf '%s\n' "$said" >&2
    echo "run.sh: could not set $2 to $4 in $WINEPREFIX (wine reg add's words above)" >&2
    exit 1
  }
}
set_values() {
  local version='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
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
# Run again on a private display. A user's prefix draws no captions of its
# own (the project's have Managed=N): a window manager gives it caption and focus.
if [ -z "${OSPREL_ON_PRIVATE_DISPLAY:-}" ]; then
  window_manager=(--window-manager)
  ! project_prefix "$WINEPREFIX" || window_manager=()
  OSPREL_ON_PRIVATE_DISPLAY=1 exec env -u DISPLAY "$here/with-display.sh" --prefix "$WINEPREFIX" \
    "${window_manager[@]}" "$0" "${args[@]}"
fi
shot=${shot:-$root/build/osprel.png}
mkdir -p "$(dirname "$shot")"
set_values

program="" reader="" out=""
finish() {
  local rc=$?
  trap - EXIT INT TERM HUP
  set +e
  # shellcheck disable=SC2086 # none, one or two process ids
  [ -z "$program$reader" ] || kill $program $reader 2>/dev/null
  [ -z "$out" ] || rm -rf "$out"
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT; trap 'exit 143' TERM; trap 'exit 129' HUP

# Wine's server and services may outlive the run: they get none of its
# descriptors, which would keep a caller's pipe open. show_rows waits for the
# window 20 s, 60 s for a 32-bit one under the emulator (6 s when idle), in
# the background: an interrupt ends the run at once.
wine "$exe" </dev/null >/dev/null 2>&1 &
program=$!
out=$(mktemp -d)
wait_ms=20000
pe_64bit "$exe" || [ "$wine32" != emulated ] || wait_ms=60000
wine "$(dirname "$exe")/tools/show_rows.exe" $wait_ms </dev/null >"$out/rows" 2>"$out/errors" &
reader=$!
status=0
wait $reader || status=$?
reader=""
rows=$(cat "$out/rows")
[ ! -s "$out/errors" ] || cat "$out/errors" >&2
if [ $status != 0 ]; then
  # Wine's own words (a program it cannot start) come without show_rows'.
  [ -z "$rows" ] || printf '%s\n' "$rows" >&2
  echo "run.sh: show_rows.exe could not read Osprel's rows in $WINEPREFIX (status $status)" >&2
  exit $status
fi
printf '%s\n' "$rows" | grep -v '^window '

# A click in the middle of the window, on the rows, makes it active as a
# user's first click would; on a caption the window manager draws, Wine 10
# would not take the focus, and Esc would go to the window manager.
read -r _ x y w h <<<"$(grep '^window ' <<<"$rows")"
click() { xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1; }
click
sleep 0.5   # the active caption's paint
import -window root "$shot.full.png"
convert "$shot.full.png" -crop "${w}x${h}+${x}+${y}" +repage "$shot"
rm -f "$shot.full.png"
echo "Screenshot: $shot"

# Another program of the server may take the foreground: then, as a user
# would, click again and press Esc again.
closed() { ! kill -0 "$program" 2>/dev/null; }
for attempt in 1 2 3; do
  [ $attempt = 1 ] || { click; sleep 0.3; }
  xdotool key Escape
  wait_until 4 closed && break
done
closed || { echo "run.sh: Osprel did not close on Esc" >&2; exit 1; }
wait "$program"
program=""
