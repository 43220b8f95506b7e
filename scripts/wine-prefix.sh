#!/usr/bin/env bash
# Prepares a Wine prefix for Osprel: usage  wine-prefix.sh DIR
# Creates it once and marks it ready; later calls return at once. Safe to call
# from parallel test runs (they wait on a lock while the first one builds it).
#  - Wine draws captions and system menus itself (Managed=N), since under Xvfb
#    there is no window manager to do it.
#  - Wine's own bitmap fonts are copied into C:\windows\Fonts: Debian's Wine
#    does not find them where the fonts-wine package puts them, and without
#    "MS Sans Serif" every dialog falls back to a wider face and labels get cut.
#  - It runs 64-bit and 32-bit programs. A prefix made before Wine's 32-bit
#    half was installed has no 32-bit system, and once that half is there
#    Wine's loader fails in it ("could not load kernel32.dll"), 64-bit
#    programs included: such a prefix is made anew. Only the project's own
#    prefixes come here, never a user's.
set -euo pipefail

prefix=${1:?usage: wine-prefix.sh DIR}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
ready="$prefix/.osprel-ready"

usable() {
  [ -f "$ready" ] && [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]
}
usable && exit 0

exec 9>"$prefix.lock"
flock 9
usable && exit 0
if [ -e "$prefix/drive_c" ]; then
  echo "wine-prefix.sh: $prefix lacks Wine's 32-bit half; making it anew" >&2
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  find "$prefix" -mindepth 1 -delete
fi

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
wineserver -w
touch "$ready"
