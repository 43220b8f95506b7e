#!/usr/bin/env bash
# Which of Wine's loaders the scripts start, on every sort of machine: the
# check is given stand-ins for Wine's 32-bit loader (one that fails as it does
# on a kernel without 32-bit support, one that runs) and for binfmt_misc (a
# folder with its register file, with or without a handler for i386
# programs), so that any machine tests every branch. For each: the state
# found, whether `wine` is the 64-bit loader's, the reason given for the
# 32-bit program, what make run ARCH=win32 and the tests' runner do with it
# (refuse before anything, with that reason), and what the emulator's
# registration writes (nothing where 32-bit programs run).
#   wine_loaders.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d) || exit 1
unset OSPREL_WINE32   # a caller's state: each case finds its own
trap 'rm -rf "$work"' EXIT

# Stand-ins: a 32-bit loader that the kernel cannot run, one that runs, and a
# 32-bit Windows program (only its PE header is read before the refusal).
printf '#!/bin/sh\necho "cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$work/loader-fails"
printf '#!/bin/sh\necho wine-8.0\n' >"$work/loader-runs"
# Run by qemu, whose handler a chroot without binfmt_misc does not show: qemu
# answers QEMU_VERSION itself.
cat >"$work/loader-qemu" <<'EOF'
#!/bin/sh
[ -z "${QEMU_VERSION:-}" ] || { echo "qemu-i386 version 7.2.22"; exit 0; }
echo wine-8.0
EOF
printf '#!/bin/sh\nexit 0\n' >"$work/emulator"
chmod +x "$work/loader-fails" "$work/loader-runs" "$work/loader-qemu" "$work/emulator"
python3 - "$work/program32.exe" <<'EOF'
import struct, sys
header = bytearray(0x100)
header[0:2] = b"MZ"
header[60:64] = struct.pack("<I", 0x80)
header[0x80:0x86] = b"PE\0\0" + struct.pack("<H", 0x14C)   # i386
open(sys.argv[1], "wb").write(header)
EOF

# A binfmt_misc folder: its register file, and a handler for i386 programs
# when asked (enabled or not).
binfmt() {   # NAME [enabled|disabled]
  local dir=$work/$1
  mkdir -p "$dir" && : >"$dir/register" && echo enabled >"$dir/status"
  [ -z "${2:-}" ] || printf '%s\ninterpreter /usr/bin/qemu-i386-static\nflags: F\noffset 0\nmagic %s\nmask %s\n' \
    "$2" 7f454c4601010100000000000000000002000300 fffffffffffefe00fffffffffffffffffeffffff >"$dir/qemu-i386"
  echo "$dir"
}

failed=()   # the cases with a failed check, once each
fail() { echo "FAIL $1: $2"; [[ " ${failed[*]} " == *" [$1] "* ]] || failed+=("[$1]"); }
skipped=0
skip() { echo "skip $1: $2"; skipped=$((skipped + 1)); }
check() {   # CASE WHAT EXPECTED ACTUAL
  [ "$3" = "$4" ] || fail "$1" "$2: expected [$3], got [$4]"
}
contains() {   # CASE WHAT TEXT NEEDLE
  [[ $3 == *"$4"* ]] || fail "$1" "$2 does not say [$4]: [$3]"
}

# Case | 32-bit loader | binfmt_misc | state | wine is the 64-bit loader's | the emulator's address
# space | reason the 32-bit program gets ("" runs)
cases=(
  "kernel without 32-bit support|loader-fails|none|none|yes||kernel runs no 32-bit Linux programs, and no emulator is registered"
  "runs natively|loader-runs|none|native|no||"
  "runs through a registered emulator|loader-runs|enabled|emulated|yes|0x81000000|"
  "runs through an emulator binfmt_misc does not show|loader-qemu|none|emulated|yes|0x81000000|"
  "an emulator that does not run it|loader-fails|enabled|none|yes||does not run Wine's 32-bit loader"
  "a disabled emulator|loader-fails|disabled|none|yes||is disabled; enable it (as root: echo 1 >"
  "32-bit half not installed|absent|none|none|yes||is not installed"
)

for row in "${cases[@]}"; do
  IFS='|' read -r name loader handler state shims space reason <<<"$row"
  dir=$(binfmt "case$RANDOM" "${handler#none}")
  export OSPREL_WINE32_LOADER=$work/$loader OSPREL_BINFMT_DIR=$dir
  found=$(env -u QEMU_RESERVED_VA PATH=/usr/bin:/bin bash -c \
    ". '$root/scripts/wine-env.sh'; echo \"\$wine32\"; command -v wine; echo \"\${QEMU_RESERVED_VA:-}\"")
  check "$name" state "$state" "$(sed -n 1p <<<"$found")"
  check "$name" "the emulator's address space" "$space" "$(sed -n 3p <<<"$found")"
  [ "$(sed -n 2p <<<"$found")" = "$root/scripts/wine64/wine" ] && uses=yes || uses=no
  # Only in place of Debian's own wine, with Wine's 64-bit loader beside it.
  if [ -x /usr/lib/wine/wine64 ] && [ -x /usr/bin/wine ]; then
    check "$name" "wine is the 64-bit loader's" "$shims" "$uses"
  else
    skip "$name" "wine is the 64-bit loader's: Debian's wine and its 64-bit loader are not installed"
  fi

  words=$(bash -c ". '$root/scripts/wine-env.sh' && wine32_ready" 2>&1) && ready=1 || ready=""
  if [ -z "$reason" ]; then
    check "$name" "the 32-bit program's reason" "" "$words"
    continue
  fi
  contains "$name" "the 32-bit program's reason" "$words" "$reason"
  [ -z "$ready" ] || check "$name" "ready" "" yes

  # make run ARCH=win32 and the tests' runner refuse before anything: the
  # prefixes they name are not made.
  said=$(WINEPREFIX=$work/run-prefix "$root/scripts/run.sh" "$work/program32.exe" 2>&1 </dev/null)
  check "$name" "run.sh's status" 2 $?
  contains "$name" "run.sh" "$said" "$reason"
  said=$(OSPREL_TEST_WINEPREFIX=$work/test-prefix "$root/cmake/wine-run.sh" "$work/program32.exe" 2>&1 </dev/null)
  check "$name" "wine-run.sh's status" 1 $?
  contains "$name" "wine-run.sh" "$said" "$reason"
  check "$name" "prefixes made" "" "$(find "$work" -mindepth 1 -maxdepth 1 -name '*prefix*')"
done

# The emulator's registration: nothing where the loader runs, natively or
# through a handler; a handler of someone's left as it is; on a kernel that
# cannot run it, qemu's line for i386 programs (F: the emulator opened now),
# taken back when the loader still does not run through it.
line=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
line+=':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
line+=":$work/emulator:F"
# Case | 32-bit loader | binfmt_misc | status | written to register | handler file afterwards
registrations=(
  "runs natively|loader-runs|none|0||absent"
  "runs through a registered emulator|loader-runs|enabled|0||enabled"
  "runs through an emulator binfmt_misc does not show|loader-qemu|none|0||absent"
  "an emulator that does not run it|loader-fails|enabled|1||enabled"
  "a disabled emulator|loader-fails|disabled|1||disabled"
  "kernel without 32-bit support|loader-fails|none|1|$line|-1"
)
for row in "${registrations[@]}"; do
  IFS='|' read -r name loader handler status written after <<<"$row"
  # Only root registers anything.
  if [ "$name" = "kernel without 32-bit support" ] && [ "$(id -u)" != 0 ]; then
    name+=", not root" written="" after=absent
  fi
  dir=$(binfmt "register$RANDOM" "${handler#none}")
  said=$(OSPREL_WINE32_LOADER=$work/$loader OSPREL_BINFMT_DIR=$dir OSPREL_I386_EMULATOR=$work/emulator \
         "$root/scripts/register-i386-emulator.sh" 2>&1)
  check "registration, $name" status "$status" $?
  check "registration, $name" "written to register" "$written" "$(cat "$dir/register")"
  [ -f "$dir/qemu-i386" ] && left=$(head -n 1 "$dir/qemu-i386") || left=absent
  check "registration, $name" "handler afterwards" "$after" "$left"
  [ "$status" = 0 ] || [ -n "$said" ] || check "registration, $name" "a reason" "one" ""
done

# TMPDIR: kept where Wine's server starts with it, dropped where it aborts
# (Debian 13's Wine); either way the folder the check's server made below it
# is gone, and the caller's files there are not.
# Case | what the stand-in server does with TMPDIR set | TMPDIR the scripts keep
tmpdirs=(
  "a Wine that takes TMPDIR|exit 1|$work/tmp"
  "a Wine that aborts with TMPDIR|kill -ABRT \$\$|unset"
)
for row in "${tmpdirs[@]}"; do
  IFS='|' read -r name action kept <<<"$row"
  rm -rf "${work:?}/bin" "$work/tmp" && mkdir "$work/bin" "$work/tmp" && echo "the caller's" >"$work/tmp/keep.txt"
  # shellcheck disable=SC2016 # the stand-in's own text: its shell expands it
  printf '#!/bin/sh\nmkdir "${TMPDIR:-/tmp}/wine-Ab12Cd" && echo wine-Ab12Cd >"$WINEPREFIX/wineserver"\n[ -z "${TMPDIR+set}" ] || %s\nexit 1\n' \
    "$action" >"$work/bin/wineserver"
  chmod +x "$work/bin/wineserver"
  found=$(TMPDIR=$work/tmp PATH=$work/bin:/usr/bin:/bin bash -c ". '$root/scripts/wine-env.sh' && echo \"\${TMPDIR-unset}\"" 2>&1)
  check "TMPDIR, $name" "the scripts' TMPDIR" "$kept" "$found"
  check "TMPDIR, $name" "left in TMPDIR" keep.txt "$(ls -A "$work/tmp")"
done

total=$(( ${#cases[@]} + ${#registrations[@]} + ${#tmpdirs[@]} ))
echo "$((total - ${#failed[@]})) passed, ${#failed[@]} failed, $skipped skipped"
[ ${#failed[@]} = 0 ]
