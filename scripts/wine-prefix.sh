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
# written before anything else; .osprel-ready from older versions) is touched.
# Any other folder is someone's own: it is refused, exit status 3, unchanged.
set -euo pipefail
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

mkdir -p "$prefix"
# The lock is this script's alone: Wine's processes, which may outlive it
# (killed, it leaves wineboot and the server running), get no copy of it.
exec 9>"$lock"
if ! flock -n 9; then
  echo "wine-prefix.sh: waiting for another run that is preparing $prefix" >&2
  flock -w 900 9 || { echo "wine-prefix.sh: $prefix was still being prepared after 15 minutes" >&2; exit 1; }
fi
unlocked() { "$@" 9>&-; }
current && exit 0
ours || empty || refuse
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
    find "$prefix" -mindepth 1 -maxdepth 1 ! -name .osprel-lock ! -name .osprel-made -exec rm -rf {} +
  fi
  touch "$made"
  log=$prefix/.osprel-wineboot.log
  if ! { unlocked wineboot -i && unlocked wineserver -w; } >"$log" 2>&1 ||
     [ ! -f "$windows/system32/kernel32.dll" ]; then
    cat "$log" >&2
    echo "wine-prefix.sh: Wine could not make a prefix in $prefix (wineboot's words above)" >&2
    exit 1
  fi
  rm -f "$log"
  unlocked wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
  unlocked wineserver -w
  touch "$ready"
fi

# One key for 64-bit and 32-bit programs alike.
unlocked wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'MS Shell Dlg 2' \
  /d 'WenQuanYi Micro Hei' /f >/dev/null
unlocked wineserver -w
touch "$any_script_font"
