# shellcheck shell=bash
# Sourced by every script: how they talk to Wine (docs/wine.md tells why).

# Debian's two loaders (tests name a stand-in for the 32-bit one).
wine32_loader=${OSPREL_WINE32_LOADER:-/usr/lib/wine/wine}
wine64_loader=/usr/lib/wine/wine64

# A made prefix's kind, win32 or win64: its registry's #arch line, or, where
# an older Wine wrote none, whether it holds a 64-bit system's syswow64.
prefix_arch() {   # DIR
  local arch
  arch=$(sed -n '1,5s/^#arch=//p' "$1/system.reg" 2>/dev/null)
  [ -n "$arch" ] || { [ -d "$1/drive_c/windows/syswow64" ] && arch=win64 || arch=win32; }
  echo "$arch"
}

# scripts/wine64/wine, run for every Wine program, needs only the above.
[ -z "${wine_facts_only:-}" ] || return 0

# The prefix (absolute) and quiet Wine: no debug channels, no Mono or Gecko
# installer (a caller's own settings kept); the project's prefixes are 64-bit.
wine_env() {   # PREFIX
  WINEPREFIX=$(realpath -m -- "$1")
  WINEDEBUG=${WINEDEBUG:--all}
  WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  if project_prefix "$WINEPREFIX"; then export WINEARCH=win64; fi
}

# A Unix path as Wine's Z: drive, the Unix root, names it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Whether WINEPREFIX still has that Z: drive (sandboxing tools remove it).
z_drive_ok() { [ "$(realpath -e "$WINEPREFIX/dosdevices/z:" 2>/dev/null)" = / ]; }

# A prefix wine-prefix.sh made: .osprel-made, or .osprel-ready, its finished
# flag, alone in one made before that marker was.
project_prefix() { [ -e "$1/.osprel-made" ] || [ -e "$1/.osprel-ready" ]; }

# Tries COMMAND every tenth of a second until it succeeds (0) or SECONDS
# have passed (1); the caller says what it waited for.
wait_until() {   # SECONDS COMMAND [ARGS...]
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The folders Wine's servers of this user work in. Read as a here-string:
# a process substitution would change a caller's $!.
server_dirs() {
  local pid
  for pid in $(pgrep -u "$(id -u)" wineserver); do readlink "/proc/$pid/cwd"; done
}

# Whether a server runs for the prefix DIR: it works in server-DEV-INODE,
# after the prefix's folder (a symbolic link to a prefix is the same prefix).
server_running() {   # DIR
  local id dir
  id=$(stat -L -c '%d %i' -- "$1" 2>/dev/null) || return 1
  id=$(printf 'server-%x-%x' "${id% *}" "${id#* }")
  while read -r dir; do [ "${dir##*/}" != "$id" ] || return 0; done <<<"$(server_dirs)"
  return 1
}

# Removes the folder below TMPDIR that Debian's Wine keeps the prefix DIR's
# server in (named in its wineserver file), once no server works in it.
forget_server() {   # DIR
  local dir
  dir=${TMPDIR:-/tmp}/$(cat "$1/wineserver" 2>/dev/null) || return 0
  [[ ${dir##*/} =~ ^wine-[A-Za-z0-9]{6}$ ]] && [ -O "$dir" ] || return 0
  wait_until 10 no_server_in "$dir" && rm -rf -- "$dir"
}
no_server_in() {   # DIR
  local dir
  while read -r dir; do [[ $dir != "$1"/* ]] || return 1; done <<<"$(server_dirs)"
}

# A 64-bit program, from its PE header's machine field (x86-64).
pe_64bit() {   # EXE
  local at
  at=$(od -An -tu4 -j60 -N4 -- "$1" | tr -d ' ') || return 1
  [ "$(od -An -tx2 -j$((at + 4)) -N2 -- "$1" | tr -d ' ')" = 8664 ]
}

# ---- Wine's 32-bit loader: native, emulated or none --------------------------
binfmt_dir=${OSPREL_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
# A 32-bit x86 Linux program's ELF header start (executable or shared object,
# machine 3), and the bits of it compared, as binfmt_misc is told them.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
# shellcheck disable=SC2034 # register-i386-emulator.sh registers it
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# Wine's 32-bit loader reserves all of a 4 GB address space above 2 GB in
# 64 KB steps, which the emulator answers slowly; so the space ends 16 MB
# above 2 GB (docs/wine.md). Only the emulator reads it.
qemu_reserved_va=${QEMU_RESERVED_VA:-0x81000000}

wine32_runs() {
  [ -x "$wine32_loader" ] && QEMU_RESERVED_VA=$qemu_reserved_va timeout 60 "$wine32_loader" --version >/dev/null 2>&1
}

# The enabled (or, asked so, disabled) handler for i386 programs: binfmt_misc
# shows its magic in hexadecimal.
i386_handler() {   # [enabled|disabled]
  local found
  found=$(grep -lx "magic $(printf '%b' "$i386_magic" | od -An -v -tx1 | tr -d ' \n')" "$binfmt_dir"/* 2>/dev/null |
          xargs -r grep -lx "${1:-enabled}")
  [ -n "$found" ] && echo "${found%%$'\n'*}"
}

# Emulated: a handler for i386 programs is enabled or, where binfmt_misc is
# not mounted (a chroot), qemu answers QEMU_VERSION in the loader's place.
wine32_state() {
  if ! wine32_runs; then echo none
  elif i386_handler >/dev/null ||
       QEMU_VERSION=1 timeout 60 "$wine32_loader" --version 2>/dev/null | grep -q '^qemu-'; then echo emulated
  else echo native
  fi
}

# Whether the 32-bit program runs here; where not, why and what would help.
wine32_ready() {
  local handler why install="sudo scripts/install-deps.sh wine32"
  [ "$wine32" = none ] || return 0
  if [ ! -e "$wine32_loader" ]; then
    why="Wine's 32-bit half ($wine32_loader, from wine32:i386) is not installed; ${install#sudo } installs it"
  elif handler=$(i386_handler); then
    why="the handler registered for 32-bit Linux programs, $handler (interpreter
$(sed -n 's/^interpreter //p' "$handler")), does not run Wine's 32-bit loader $wine32_loader; remove it
(as root: echo -1 >$handler) and run $install, which registers Debian's qemu-user-static in its place"
  elif handler=$(i386_handler disabled); then
    why="this machine's kernel runs no 32-bit Linux programs, and the handler registered for them,
$handler, is disabled; enable it (as root: echo 1 >$handler)"
  elif [ ! -e "$binfmt_dir/register" ] && ! grep -qw binfmt_misc /proc/filesystems; then
    why="this machine's kernel runs no 32-bit Linux programs and has no binfmt_misc through which an
emulator could run them; use a machine whose kernel runs them (ia32_emulation) or has binfmt_misc"
  else
    why="this machine's kernel runs no 32-bit Linux programs, and no emulator is registered for them;
run $install (make test and make run ARCH=win32 run it themselves when you are root): it registers
Debian's qemu-user-static for i386 programs through binfmt_misc"
  fi
  printf 'The 32-bit Osprel cannot run under Wine here: %s.\n' "$why" >&2
  return 1
}

# Found once in a run and handed down to the scripts it starts (not through
# make, whose install step may change it).
case ${OSPREL_WINE32:-} in
  native|emulated|none) wine32=$OSPREL_WINE32 ;;
  *) wine32=$(wine32_state) ;;
esac
export OSPREL_WINE32=$wine32
if [ "$wine32" = emulated ]; then export QEMU_RESERVED_VA=$qemu_reserved_va; fi
# Unless it runs natively, programs go through the 64-bit loader alone
# (scripts/wine64/), in place of Debian's own wine, never of a caller's.
if [ -x "$wine64_loader" ] && [ "$wine32" != native ] && [ "$(command -v wine)" = /usr/bin/wine ]; then
  PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH"
fi

# Debian 13's Wine aborts whenever TMPDIR is set: there it is dropped, for
# the scripts and every Wine program they start. The check's server (-k in an
# empty prefix) leaves nothing behind; a time-out or a signal is an abort.
wine_takes_tmpdir() {
  local scratch status
  command -v wineserver >/dev/null && scratch=$(mktemp -d 2>/dev/null) || return 0
  status=$(exec 2>/dev/null; WINEPREFIX=$scratch timeout 20 wineserver -k >/dev/null; echo $?)
  forget_server "$scratch"
  rm -rf "$scratch"
  [ "$status" -lt 124 ]
}
if [ -n "${TMPDIR+set}" ] && ! wine_takes_tmpdir; then unset TMPDIR; fi
