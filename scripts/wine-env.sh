# shellcheck shell=bash
# Sourced by the project's scripts (bash): how they all talk to Wine.
#   wine_env PREFIX   exports WINEPREFIX (the folder's absolute path) and the
#                     quiet Wine settings every script runs with: no debug
#                     channels and no Mono or Gecko installer on a first start
#                     (a caller's own WINEDEBUG or WINEDLLOVERRIDES is kept);
#                     for a prefix of the project's, which are all 64-bit,
#                     WINEARCH=win64 whatever the caller's
#   windows_path PATH a Unix path as Wine names it on its Z: drive, which
#                     stands for the Unix root
#   z_drive_ok        whether WINEPREFIX has that Z: drive (sandboxing tools
#                     remove it, and Wine then cannot name Unix paths)
#   project_prefix DIR  whether DIR is a prefix this project made: it carries
#                     .osprel-made, or, made by a version before that marker,
#                     .osprel-ready (which still marks a finished one)
#   prefix_arch DIR   win32 or win64: the kind of the made prefix DIR
#   forget_server DIR  removes the folder Wine's server kept in TMPDIR for
#                     the prefix DIR, which is about to be deleted
#   server_running DIR  whether a Wine server runs for the prefix DIR (a
#                     symbolic link to a prefix is the same prefix)
#   wait_until SECONDS COMMAND...  tries COMMAND until it succeeds, for at
#                     most SECONDS
# and, below, which of Wine's two loaders the scripts start, and whether they
# keep the caller's TMPDIR.

# Where Debian installs Wine's two loaders (tests name a stand-in for the
# 32-bit one: OSPREL_WINE32_LOADER), and a prefix's kind.
wine32_loader=${OSPREL_WINE32_LOADER:-/usr/lib/wine/wine}
wine64_loader=/usr/lib/wine/wine64

# A made prefix's kind, win32 or win64: its registry's #arch line, or for a
# prefix without one (older Wine wrote none), whether it holds a 64-bit
# system's syswow64.
prefix_arch() {   # DIR
  local arch
  arch=$(sed -n '1,5s/^#arch=//p' "$1/system.reg" 2>/dev/null)
  [ -n "$arch" ] || { [ -d "$1/drive_c/windows/syswow64" ] && arch=win64 || arch=win32; }
  echo "$arch"
}

# scripts/wine64/wine, which runs for every Wine program, takes only the above:
# nothing below is defined or probed for it.
[ -z "${wine_facts_only:-}" ] || return 0

wine_env() {
  WINEPREFIX=$(realpath -m -- "$1")
  WINEDEBUG=${WINEDEBUG:--all}
  WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  if project_prefix "$WINEPREFIX"; then export WINEARCH=win64; fi
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

z_drive_ok() { [ "$(realpath -e "$WINEPREFIX/dosdevices/z:" 2>/dev/null)" = / ]; }

project_prefix() { [ -e "$1/.osprel-made" ] || [ -e "$1/.osprel-ready" ]; }

# Debian's Wine keeps a prefix's server in a folder below TMPDIR (/tmp when
# it is not set), named in the prefix's wineserver file, and leaves it there
# when the prefix is deleted. Removed, with the prefix, once no server works
# in it: copies of one prefix name the same folder, each server a folder of
# its own inside.
forget_server() {   # PREFIX
  local dir
  dir=${TMPDIR:-/tmp}/$(cat "$1/wineserver" 2>/dev/null) || return 0
  [[ ${dir##*/} =~ ^wine-[A-Za-z0-9]{6}$ ]] && [ -O "$dir" ] || return 0
  wait_until 10 no_server_in "$dir" && rm -rf -- "$dir"
}
no_server_in() {   # DIR
  local pid
  for pid in $(pgrep -u "$(id -u)" wineserver); do
    [[ $(readlink "/proc/$pid/cwd") != "$1"/* ]] || return 1
  done
}

# Every wait of the scripts: COMMAND is tried every tenth of a second until it
# succeeds (status 0) or SECONDS have passed (status 1): the caller says what
# it waited for.
wait_until() {   # SECONDS COMMAND [ARGS...]
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# A Wine server works in a folder named after its prefix's device and inode,
# those of the folder itself.
server_running() {
  local id pid
  id=$(stat -L -c '%d %i' -- "$1" 2>/dev/null) || return 1
  id=$(printf 'server-%x-%x' "${id% *}" "${id#* }")
  for pid in $(pgrep -u "$(id -u)" wineserver); do
    [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$id" ] && return 0
  done
  return 1
}

# ---- Wine's two loaders ------------------------------------------------------
# Debian installs Wine's 64-bit loader (wine64) and, with wine32:i386, its
# 32-bit one (wine). Debian's `wine`, `wineboot` and `wine reg` start the
# 32-bit loader whenever it is installed, and it hands a 64-bit program on to
# the 64-bit one; on a kernel that runs no 32-bit Linux programs it fails with
# "Exec format error" before that, 64-bit programs included. There, and where
# an emulator registered for i386 programs (binfmt_misc) runs it slowly, every
# script goes through the 64-bit loader alone: scripts/wine64/ holds a `wine`
# and a `wineboot` that start it directly, first on PATH. It runs 64-bit
# programs itself and hands a 32-bit one to the 32-bit loader.
#   wine32_state      native, emulated or none: how this machine runs Wine's
#                     32-bit loader (a working loader with an enabled i386
#                     handler registered, or run by qemu, is emulated);
#                     $wine32 holds it
#   wine32_ready      whether 32-bit programs can run under Wine here;
#                     where not, says why and what would help
#   pe_64bit EXE      whether EXE is a 64-bit Windows program
# Tests name a stand-in for the binfmt_misc folder: OSPREL_BINFMT_DIR.
binfmt_dir=${OSPREL_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
# The start of a 32-bit x86 Linux program's ELF header (class, data, version;
# type executable or shared object, machine 3) and the bits of it compared,
# as binfmt_misc is told them: register-i386-emulator.sh registers them, and
# a handler for i386 programs is one that shows this magic.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
# shellcheck disable=SC2034 # register-i386-emulator.sh registers it
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# Under the emulator (qemu-user) a 32-bit process's address space is the whole
# 4 GB unless told otherwise, and Wine's 32-bit loader, which Debian builds
# without its preloader, reserves all of it above 2 GB in 64 KB steps that
# the emulator answers slowly: over a minute before any program runs. With
# the space ending 16 MB above 2 GB (room for the stack, which the emulator
# puts at its top), a 32-bit cmd.exe takes 4 s instead of 100. The probe
# runs the loader with it too; the emulator alone reads it.
qemu_reserved_va=${QEMU_RESERVED_VA:-0x81000000}
wine32_runs() {
  [ -x "$wine32_loader" ] && QEMU_RESERVED_VA=$qemu_reserved_va timeout 60 "$wine32_loader" --version >/dev/null 2>&1
}

# The enabled (or, asked so, disabled) handler for i386 programs, by the file
# binfmt_misc shows it in.
i386_handler() {   # [enabled|disabled]
  local entry shown   # the magic as binfmt_misc shows it: in hexadecimal
  shown=$(printf '%b' "$i386_magic" | od -An -v -tx1 | tr -d ' \n')
  for entry in "$binfmt_dir"/*; do
    case ${entry##*/} in register|status) continue ;; esac
    [ -f "$entry" ] || continue
    grep -qx "${1:-enabled}" "$entry" && grep -qx "magic $shown" "$entry" && { echo "$entry"; return 0; }
  done
  return 1
}

# binfmt_misc, mounted or only known to the kernel (the install step mounts it).
binfmt_offered() { [ -e "$binfmt_dir/register" ] || grep -qw binfmt_misc /proc/filesystems; }

# Emulated: an enabled handler for i386 programs is registered, or, where
# binfmt_misc is not mounted (a chroot whose /proc was bound without it) and
# no handler can be seen, the kernel still sends the loader through one:
# qemu, told QEMU_VERSION, prints its own version instead of starting it.
wine32_emulated() {
  i386_handler >/dev/null ||
    QEMU_VERSION=1 timeout 60 "$wine32_loader" --version 2>/dev/null | grep -q '^qemu-'
}

wine32_state() {
  if ! wine32_runs; then echo none
  elif wine32_emulated; then echo emulated
  else echo native
  fi
}

wine32_ready() {
  local handler why
  [ "$wine32" = none ] || return 0
  if [ ! -e "$wine32_loader" ]; then
    why="Wine's 32-bit half ($wine32_loader, from wine32:i386) is not installed;
scripts/install-deps.sh wine32 installs it"
  elif handler=$(i386_handler); then
    why="the handler registered for 32-bit Linux programs, $handler (interpreter
$(sed -n 's/^interpreter //p' "$handler")), does not run Wine's 32-bit loader $wine32_loader; remove it
(as root: echo -1 >$handler) and run sudo scripts/install-deps.sh wine32, which registers Debian's
qemu-user-static in its place"
  elif handler=$(i386_handler disabled); then
    why="this machine's kernel runs no 32-bit Linux programs, and the handler registered for them,
$handler, is disabled; enable it (as root: echo 1 >$handler)"
  elif ! binfmt_offered; then
    why="this machine's kernel runs no 32-bit Linux programs and has no binfmt_misc through
which an emulator could run them; use a machine whose kernel runs them (ia32_emulation) or has
binfmt_misc"
  else
    why="this machine's kernel runs no 32-bit Linux programs, and no emulator is registered for
them; run sudo scripts/install-deps.sh wine32 (make test and make run ARCH=win32 run it themselves
when you are root): it registers Debian's qemu-user-static for i386 programs through binfmt_misc"
  fi
  printf 'The 32-bit Osprel cannot run under Wine here: %s.\n' "$why" >&2
  return 1
}

# A 64-bit program, from its PE header's machine field (0x8664: x86-64).
pe_64bit() {
  local at
  at=$(od -An -tu4 -j60 -N4 -- "$1" | tr -d ' ') || return 1
  [ "$(od -An -tx2 -j$((at + 4)) -N2 -- "$1" | tr -d ' ')" = 8664 ]
}

# Found once in a run and handed down: a script started by another takes the
# state its caller found (OSPREL_WINE32). The Makefile hands none to its
# recipes, since the install step may change it.
case ${OSPREL_WINE32:-} in
  native|emulated|none) wine32=$OSPREL_WINE32 ;;
  *) wine32=$(wine32_state) ;;
esac
export OSPREL_WINE32=$wine32
if [ "$wine32" = emulated ]; then export QEMU_RESERVED_VA=$qemu_reserved_va; fi
# Only in place of Debian's own `wine`: a Wine or a wrapper the caller put
# first on PATH is theirs.
if [ -x "$wine64_loader" ] && [ "$wine32" != native ] && [ "$(command -v wine)" = /usr/bin/wine ]; then
  PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH"
  export PATH
fi

# ---- TMPDIR ------------------------------------------------------------------
# Debian's Wine keeps a prefix's server in a folder below TMPDIR (/tmp when it
# is not set), named in the prefix's `wineserver` file. Debian 13's (10.0)
# ends at once, server and programs alike, with "free(): invalid pointer"
# whenever TMPDIR is set, even to /tmp. There the scripts, and every Wine
# program they start, run without it: all of a prefix's programs then find
# the one server below /tmp. Where Wine takes TMPDIR it is kept.
#   wine_takes_tmpdir  whether Wine's server starts with TMPDIR set
wine_takes_tmpdir() {
  local scratch status
  command -v wineserver >/dev/null || return 0
  scratch=$(mktemp -d) || return 0
  # -k in an empty prefix: finds its server's folder, and no server there.
  # Quiet, the shell's word for a program that aborted included.
  status=$(exec 2>/dev/null; WINEPREFIX=$scratch timeout 20 wineserver -k >/dev/null; echo $?)
  # The server's folder this made for the empty prefix, and nothing else.
  forget_server "$scratch"
  rm -rf "$scratch"
  [ "$status" -lt 124 ]   # not a time-out or a signal (SIGABRT: 134)
}
if [ -n "${TMPDIR+set}" ] && ! wine_takes_tmpdir; then unset TMPDIR; fi
