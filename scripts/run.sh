#!/usr/bin/env bash
# Starts Osprel under Wine:  run.sh EXE [--screenshot PNG] [--dpi N] [--long-values] [--names]
# The Wine prefix is the user's own WINEPREFIX when set, used as it is: the
# run writes nothing into it (on a private display a window manager gives the
# window its caption). Otherwise it is the project's own, build/wineprefix-run,
# prepared like the tests' prefix.
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
# Where it cannot run (the 32-bit program on a machine that cannot run Wine's
# 32-bit loader, a relative WINEPREFIX, a WINEPREFIX holding other things than
# a Wine prefix, a 64-bit program and a 32-bit prefix, a prefix without its Z:
# drive, a DISPLAY that does not open) it says so and ends with status 2
# before doing anything.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
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

if [ -n "$dpi" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run-dpi$dpi"
  wine_env "$root/build/wineprefix-run-dpi$dpi"
elif [ -z "${WINEPREFIX:-}" ] || [ -n "$long_values$names" ]; then
  "$here/wine-prefix.sh" "$root/build/wineprefix-run"
  wine_env "$root/build/wineprefix-run"
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
  [ ! -f "$WINEPREFIX/system.reg" ] || arch=$(sed -n '1,5s/^#arch=//p' "$WINEPREFIX/system.reg")
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
# program with none. The scale is read when a program starts.
set_scale() {
  [ -n "$dpi" ] || return 0
  local said
  # reg.exe gives its reasons on its standard output.
  said=$(wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null 2>&1) || {
    printf '%s\n' "$said" >&2
    echo "run.sh: could not set the display scale of $WINEPREFIX to $dpi pixels per inch" \
         "(wine reg add's words above)" >&2
    exit 1
  }
}

if [ -n "$on_callers_display" ]; then
  set_scale
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

set_scale

# Registry values this run changes (only ever in a project prefix) go back to
# what they were when it ends, with their own type and data. Every key is
# saved before any value changes: its export, cut to the value's lines, is
# imported again afterwards; a value that was not there is deleted, and so is
# a key that the change made. A key that is there but cannot be exported
# stops the run with nothing changed. The exports live in the prefix's own
# C: drive, which Wine can name whatever TMPDIR or the locale.
saved="" changes=() applied=""
# One per change, its fields split by \x1f (a tab would let empty ones merge):
# key, name, type, data, the file of its value before or none, the key to
# delete or none.
reg_view() {   # KEY: HKLM is read in Osprel's 64-bit view; HKCU here is one view
  case $1 in HKLM*) echo /reg:64 ;; esac
}
key_exists() { wine reg query "$1" $(reg_view "$1") >/dev/null 2>&1; }
save_value() {   # KEY NAME TYPE DATA
  local n=${#changes[@]} value="" made="" parent
  if [ -z "$saved" ]; then
    saved=$(mktemp -d "$WINEPREFIX/drive_c/osprel-saved.XXXXXX")
  fi
  local file="$saved/$n.reg" dos="C:\\${saved##*/}\\$n.reg"
  if key_exists "$1"; then
    if ! wine reg export "$1" "$dos" $(reg_view "$1") /y >/dev/null 2>&1 || [ ! -s "$file" ]; then
      echo "run.sh: could not save $1 (wine reg export failed); nothing was changed" >&2
      exit 1
    fi
    value="$file.value"
    # Wine's value names ignore case: so does the search for the value's lines.
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | awk -v name="\"$2\"=" '
      /^\[/ { if (!sections++) key = $0; next }
      sections == 1 && tolower(substr($0, 1, length(name))) == tolower(name) {
        on = 1; print "Windows Registry Editor Version 5.00\n\n" key }
      on { print; on = /\\$/ }' >"$value"   # reads to the end: an early exit would break the pipe
    [ -s "$value" ] || value=""
  else
    # The outermost missing key, below a hive that must answer.
    made=$1
    while parent=${made%\\*}; [ "$parent" != "$made" ] && ! key_exists "$parent"; do made=$parent; done
    if [ "$parent" = "$made" ]; then
      echo "run.sh: wine reg answers for no key of $1; nothing was changed" >&2
      exit 1
    fi
  fi
  changes+=("$1"$'\x1f'"$2"$'\x1f'"$3"$'\x1f'"$4"$'\x1f'"$value"$'\x1f'"$made")
}
set_values() {
  local change key name type data
  applied=1
  for change in "${changes[@]}"; do
    IFS=$'\x1f' read -r key name type data _ <<<"$change"
    wine reg add "$key" /v "$name" /t "$type" /d "$data" $(reg_view "$key") /f >/dev/null
  done
}
put_back_values() {
  local i key name value made
  [ -n "$applied" ] || changes=()
  for ((i = ${#changes[@]} - 1; i >= 0; i--)); do
    IFS=$'\x1f' read -r key name _ _ value made <<<"${changes[$i]}"
    if [ -n "$made" ]; then
      wine reg delete "$made" $(reg_view "$key") /f
    elif [ -n "$value" ]; then
      { printf '\xff\xfe'; sed 's/$/\r/' "$value" | iconv -f UTF-8 -t UTF-16LE; } >"$value.utf16"
      wine reg import "C:\\${saved##*/}\\${value##*/}.utf16" $(reg_view "$key")
    else
      wine reg delete "$key" /v "$name" $(reg_view "$key") /f
    fi >/dev/null || echo "run.sh: could not put back $key\\$name" >&2
  done
  changes=()
  [ -z "$saved" ] || rm -rf "$saved"
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

version_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'   # the 64-bit view, which Osprel reads
if [ -n "$long_values" ]; then
  save_value "$version_key" RegisteredOrganization REG_SZ "Example Pharmaceuticals International Holdings GmbH & Co. KG"
  save_value "$version_key" ProductName REG_SZ "Windows Server 2012 R2 Datacenter Evaluation"
fi
if [ -n "$names" ]; then
  save_value "$version_key" RegisteredOwner REG_SZ "Prüferin 测试所有者"
  save_value "$version_key" RegisteredOrganization REG_SZ "Οργανισμός Δοκιμών"
fi
# reg.exe reads its command line in the locale's character set: UTF-8 here
# whatever the caller's, so that the names arrive whole.
LC_ALL=C.UTF-8 set_values

# The Wine server and Wine's own services, started by the first of these, may
# outlive the run (a program the run did not start can join them): they get
# none of the caller's descriptors, which would keep a pipe from the run open.
wine "$exe" </dev/null >/dev/null 2>&1 &
program=$!
out=$(mktemp -d)
status=0
# The window shows within seconds; the 32-bit program's, where Wine's 32-bit
# loader runs through an emulator, some seconds later (6 s on an idle machine).
wait_ms=20000
pe_64bit "$exe" || [ "$wine32" != emulated ] || wait_ms=60000
wine "$(dirname "$exe")/tools/show_rows.exe" $wait_ms </dev/null >"$out/rows" 2>"$out/errors" || status=$?
rows=$(cat "$out/rows") errors=$(cat "$out/errors")
rm -rf "$out"
[ -z "$errors" ] || printf '%s\n' "$errors" >&2
[ $status = 0 ] || exit $status
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
for attempt in 1 2 3; do
  [ $attempt = 1 ] || { click; sleep 0.3; }
  xdotool key Escape
  for _ in $(seq 40); do
    kill -0 $program 2>/dev/null || break 2
    sleep 0.1
  done
done
if kill -0 $program 2>/dev/null; then
  echo "Osprel did not close on Esc" >&2
  exit 1
fi
wait $program
program=""
