#!/usr/bin/env bash
# Registers Debian's qemu-user-static for i386 programs with binfmt_misc (as
# qemu's tools name it; F: the kernel opens the emulator now, so chroots are
# served too), so that Wine's 32-bit loader runs on a kernel that runs no
# 32-bit programs. Run as root by install-deps.sh. Nothing is registered where
# the loader runs already: binfmt_misc is asked before the kernel's own loader.
# Status 0 when the loader runs at the end, else 1 with the reason.
set -uo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
emulator=${OSPREL_I386_EMULATOR:-/usr/bin/qemu-i386-static}
name=qemu-i386

say() { echo "register-i386-emulator.sh: $*" >&2; }

[ "$wine32" = none ] || exit 0
[ -e "$wine32_loader" ] || { say "Wine's 32-bit loader $wine32_loader is not installed"; exit 1; }
i386_handler >/dev/null && { wine32_ready; exit 1; }   # someone's handler: theirs to mend
[ "$(id -u)" = 0 ] || { wine32_ready; exit 1; }
if [ ! -e "$binfmt_dir/register" ] && [ -z "${OSPREL_BINFMT_DIR:-}" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt_dir" 2>/dev/null || { wine32_ready; exit 1; }
fi
[ -x "$emulator" ] || { say "the emulator $emulator is not installed (qemu-user-static)"; exit 1; }
if [ -e "$binfmt_dir/$name" ]; then
  say "a disabled handler $binfmt_dir/$name is registered already; it is left as it is:" \
      "enable it (echo 1 >$binfmt_dir/$name) or remove it (echo -1 >$binfmt_dir/$name)"
  exit 1
fi

echo "This machine's kernel runs no 32-bit Linux programs: registering $emulator for them" \
     "(binfmt_misc, $binfmt_dir/$name), so that Wine's 32-bit loader runs through it"
if ! printf ':%s:M::%s:%s:%s:F' "$name" "$i386_magic" "$i386_mask" "$emulator" >"$binfmt_dir/register"; then
  say "binfmt_misc refused the registration"
  exit 1
fi
if ! wine32_runs; then
  say "Wine's 32-bit loader does not run through $emulator either; the registration is taken back"
  echo -1 >"$binfmt_dir/$name" 2>/dev/null
  exit 1
fi
