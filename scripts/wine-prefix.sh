#!/usr/bin/env bash
# Prepares a Wine prefix of the project's own: usage  wine-prefix.sh DIR
# Creates it once and marks it ready; later calls return at once. Safe to call
# from parallel test runs (they wait on a lock while the first one builds it).
#  - Wine draws captions and system menus itself (Managed=N), since under Xvfb
#    there is no window manager to do it.
#  - Wine's own bitmap fonts are copied into C:\windows\Fonts: Debian's Wine
#    does not find them where the fonts-wine package puts them, and without
#    "MS Sans Serif" every dialog falls back to a wider face and labels get cut.
#  - "MS Shell Dlg 2", the face Osprel draws names in other scripts with, is
#    WenQuanYi Micro Hei (fonts-wqy-microhei), which has Latin, Greek,
#    Cyrillic and CJK letters. Windows maps that face to Tahoma and links
#    Tahoma to its fonts for other scripts; Wine's Tahoma lacks Greek and CJK,
#    and a SystemLink for Tahoma does not last: Wine writes its own list back
#    whenever a program's code page differs from the last one's, as
#    Osprel's UTF-8 does. A prefix made before this step gets it on its next
#    use (.osprel-any-script-font).
#  - It runs 64-bit and 32-bit programs, where this machine runs Wine's
#    32-bit loader (see wine-env.sh; where it does not, the prefix is made by
#    the 64-bit loader alone and runs 64-bit programs only). A prefix made
#    before the 32-bit loader ran here has no 32-bit system, and Debian's
#    `wine` fails in it ("could not load kernel32.dll"), 64-bit programs
#    included: once the loader runs, such a prefix is made anew.
#  - Wine's own words are shown when it cannot make the prefix.
# All of this writes into the prefix, and making one anew empties it first, so
# only a folder that is absent, empty, or marked as made here (.osprel-made,
# written once the lock is held, before Wine makes anything there) is touched;
# .osprel-ready marks a finished one.
# Any other folder is someone's own: it is refused, exit status 3, unchanged.
set -euo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

prefix=${1:?usage: wine-prefix.sh DIR}
prefix=$(realpath -m -- "$prefix")
made="$prefix/.osprel-made" ready="$prefix/.osprel-ready" lock="$prefix/.osprel-lock"

ours() { project_prefix "$prefix"; }
# The lock file is ours too: a parallel run may have taken it first.
empty() { [ -z "$(find "$prefix" -mindepth 1 -maxdepth 1 ! -name .osprel-lock -print -quit 2>/dev/null)" ]; }
windows=$prefix/drive_c/windows
usable() {
  [ -f "$ready" ] && [ -f "$windows/system32/kernel32.dll" ] &&
    { [ "$wine32" = none ] || [ -f "$windows/syswow64/kernel32.dll" ]; }
}
any_script_font="$prefix/.osprel-any-script-font"
current() { usable && [ -f "$any_script_font" ]; }
refuse() {
  cat >&2 <<EOF
wine-prefix.sh: $prefix is not a Wine prefix this project made (it has no
.osprel-made marker), so it is left exactly as it is: preparing it would write
its registry and fonts, and making it anew would delete its files.
Name an absent or empty folder instead (it is made there), or unset the setting
to use the project's own prefix under build/.
EOF
  exit 3
}

if [ -d "$prefix" ]; then
  current && exit 0
  ours || empty || refuse
elif [ -e "$prefix" ]; then
  refuse
fi

# Each step runs in the background, waited for: Wine's programs take Ctrl+C
# and end as if nothing had happened, so a step in the foreground would let
# the making go on. INT, TERM and HUP end the step, the prefix's Wine server
# and this script at once; the making, unfinished, starts anew next time.
step="" making=""
waited() {
  local status=0
  "$@" 8>&- &
  step=$!
  wait "$step" || status=$?
  step=""
  return $status
}
# The lock is this script's alone: Wine's processes, which may outlive it
# (killed, it leaves wineboot and the server running), get no copy of it.
unlocked() { waited "$@" 9>&-; }
# The script's own standard error, for stopped's words while a step's output
# goes to a log; no step gets it.
exec 8>&2
stopped() {   # SIGNAL
  trap - INT TERM HUP
  [ -z "$step" ] || kill "$step" 2>/dev/null
  [ -z "$making" ] || WINEPREFIX=$prefix wineserver -k 9>&- >/dev/null 2>&1
  echo "wine-prefix.sh: stopped ($1) while preparing $prefix; the next run takes it up again" >&8
  kill -s "$1" $$
}
trap 'stopped INT' INT
trap 'stopped TERM' TERM
trap 'stopped HUP' HUP

mkdir -p "$prefix"
exec 9>"$lock"
if ! flock -n 9; then
  echo "wine-prefix.sh: waiting for another run that is preparing $prefix" >&2
  waited flock -w 900 9 || { echo "wine-prefix.sh: $prefix was still being prepared after 15 minutes" >&2; exit 1; }
fi
current && exit 0
ours || empty || refuse
making=1
# All but the marker and the lock.
emptied() {
  forget_server "$prefix"
  unlocked find "$prefix" -mindepth 1 -maxdepth 1 ! -name .osprel-lock ! -name .osprel-made -exec rm -rf {} +
}
# Wine's words, or where it could keep none (a full disk takes the log too),
# why; nothing half-made is left behind.
could_not_make() {
  local free
  free=$(df -P -k "$prefix" 2>/dev/null | awk 'NR == 2 { print $4 }')
  if [ -s "$log" ]; then
    cat "$log" >&2
    why="wineboot's words above"
  elif [ "${free:-0}" -lt 4096 ]; then
    why="the file system holding it is full (${free:-no} KB free)"
  else
    why="wineboot ended without a word"
  fi
  unlocked wineserver -k >/dev/null 2>&1 || true
  emptied
  echo "wine-prefix.sh: Wine could not make a prefix in $prefix: $why" >&2
  exit 1
}
wine_env "$prefix"
export WINEARCH=win64
# Made, as run.sh makes it, without a display, Wine 10 looks for a Wayland
# one, and its library says "error: XDG_RUNTIME_DIR is invalid or not set in
# the environment" where no login session set that (a chroot, a container, a
# CI job): nothing here needs a display, so none is looked for.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winewayland.drv=d"

if ! usable; then
  if [ -e "$prefix/drive_c" ]; then
    if [ -f "$ready" ]; then
      echo "wine-prefix.sh: $prefix lacks Wine's 32-bit half; making it anew" >&2
    else
      echo "wine-prefix.sh: the making of $prefix did not finish (it was stopped); making it anew" >&2
    fi
    unlocked wineserver -k >/dev/null 2>&1 || true
    emptied
  fi
  touch "$made"
  log=$prefix/.osprel-wineboot.log
  if ! { unlocked wineboot -i && unlocked wineserver -w; } >"$log" 2>&1 ||
     [ ! -f "$windows/system32/kernel32.dll" ]; then
    could_not_make
  fi
  rm -f "$log"
  unlocked wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  unlocked cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
  unlocked wineserver -w
  touch "$ready"
fi

# One key for 64-bit and 32-bit programs alike.
unlocked wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'MS Shell Dlg 2' \
  /d 'WenQuanYi Micro Hei' /f >/dev/null
unlocked wineserver -w
touch "$any_script_font"
