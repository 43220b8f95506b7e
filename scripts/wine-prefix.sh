#!/usr/bin/env bash
# Makes a Wine prefix of the project's own once:  wine-prefix.sh DIR
# Later calls return at once; parallel ones wait on a lock for the first. What
# goes into it (captions, fonts, the face for any script, the 32-bit half) and
# why: docs/wine.md. Only a folder that is absent, empty or marked as ours
# (.osprel-made, written with the lock held, before Wine makes anything) is
# touched: any other is someone's own, refused with status 3, unchanged.
# .osprel-ready marks a finished prefix, .osprel-any-script-font one that has
# the later font step.
set -euo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

prefix=$(realpath -m -- "${1:?usage: wine-prefix.sh DIR}")
windows=$prefix/drive_c/windows log=$prefix/.osprel-wineboot.log

# All but the lock, which a parallel run may have made.
empty() { [ -z "$(find "$prefix" -mindepth 1 -maxdepth 1 ! -name .osprel-lock -print -quit 2>/dev/null)" ]; }
usable() {
  [ -f "$prefix/.osprel-ready" ] && [ -f "$windows/system32/kernel32.dll" ] &&
    { [ "$wine32" = none ] || [ -f "$windows/syswow64/kernel32.dll" ]; }
}
current() { usable && [ -f "$prefix/.osprel-any-script-font" ]; }
ours_or_refuse() {
  [ -d "$prefix" ] && { project_prefix "$prefix" || empty; } && return 0
  cat >&2 <<EOF
wine-prefix.sh: $prefix is not a Wine prefix this project made (it has no
.osprel-made marker), so it is left exactly as it is: preparing it would write
its registry and fonts, and making it anew would delete its files.
Name an absent or empty folder instead (it is made there), or unset the setting
to use the project's own prefix under build/.
EOF
  exit 3
}

if [ -e "$prefix" ]; then
  current && exit 0
  ours_or_refuse
fi

# Each step runs in the background, waited for: Wine's programs shrug off
# Ctrl+C, so a step in the foreground would let the making go on. A signal
# ends the step, the prefix's server and the script; the next run makes the
# prefix anew. No step gets fd 8, the script's own standard error, and only
# flock gets the lock (Wine's server may outlive the script).
step="" making=""
waited() {
  local status=0
  "$@" 8>&- &
  step=$!
  wait "$step" || status=$?
  step=""
  return $status
}
step() { waited "$@" 9>&-; }
exec 8>&2
stopped() {   # SIGNAL
  trap - INT TERM HUP
  [ -z "$step" ] || kill "$step" 2>/dev/null
  [ -z "$making" ] || WINEPREFIX=$prefix wineserver -k 9>&- >/dev/null 2>&1
  echo "wine-prefix.sh: stopped ($1) while preparing $prefix; the next run takes it up again" >&8
  kill -s "$1" $$
}
trap 'stopped INT' INT; trap 'stopped TERM' TERM; trap 'stopped HUP' HUP

mkdir -p "$prefix"
exec 9>"$prefix/.osprel-lock"
if ! flock -n 9; then
  echo "wine-prefix.sh: waiting for another run that is preparing $prefix" >&2
  waited flock -w 900 9 || { echo "wine-prefix.sh: $prefix was still being prepared after 15 minutes" >&2; exit 1; }
fi
current && exit 0
ours_or_refuse
making=1

# All but the marker and the lock, and the server's folder.
emptied() {
  step wineserver -k >/dev/null 2>&1 || true
  forget_server "$prefix"
  step find "$prefix" -mindepth 1 -maxdepth 1 ! -name .osprel-lock ! -name .osprel-made -exec rm -rf {} +
}
# Wine's words, or where it could keep none (a full disk takes the log too),
# why; nothing half-made stays.
could_not_make() {
  local why free
  free=$(df -P -k "$prefix" 2>/dev/null | awk 'NR == 2 { print $4 }')
  if [ -s "$log" ]; then cat "$log" >&2; why="wineboot's words above"
  elif [ "${free:-0}" -lt 4096 ]; then why="the file system holding it is full (${free:-no} KB free)"
  else why="wineboot ended without a word"
  fi
  emptied
  echo "wine-prefix.sh: Wine could not make a prefix in $prefix: $why" >&2
  exit 1
}
wine_env "$prefix"
# Made without a display, Wine 10 looks for a Wayland one and complains where
# no login session set XDG_RUNTIME_DIR; nothing here needs a display.
export WINEARCH=win64 WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winewayland.drv=d"

if ! usable; then
  if [ -e "$prefix/drive_c" ]; then
    if [ -f "$prefix/.osprel-ready" ]; then
      echo "wine-prefix.sh: $prefix lacks Wine's 32-bit half; making it anew" >&2
    else
      echo "wine-prefix.sh: the making of $prefix did not finish (it was stopped); making it anew" >&2
    fi
    emptied
  fi
  touch "$prefix/.osprel-made"
  if ! { step wineboot -i && step wineserver -w; } >"$log" 2>&1 || [ ! -f "$windows/system32/kernel32.dll" ]; then
    could_not_make
  fi
  rm -f "$log"
  step wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  step cp /usr/share/wine/fonts/* "$windows/Fonts/"
  step wineserver -w
  touch "$prefix/.osprel-ready"
fi

# One key for 64-bit and 32-bit programs alike.
step wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'MS Shell Dlg 2' \
  /d 'WenQuanYi Micro Hei' /f >/dev/null
step wineserver -w
touch "$prefix/.osprel-any-script-font"
