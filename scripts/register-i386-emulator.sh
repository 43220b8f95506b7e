#!/usr/bin/env bash
# Lets a machine whose kernel runs no 32-bit Linux programs run Wine's 32-bit
# loader, and with it the 32-bit Osprel: registers Debian's qemu-user-static
# for i386 programs with binfmt_misc (as qemu's own tools name it, qemu-i386,
# with the F flag: the kernel opens the emulator now, so it also serves
# programs in other mount namespaces and chroots). Run as root by
# install-deps.sh, which installs the emulator first.
# It registers nothing where the loader runs already, natively or through a
# handler registered before: binfmt_misc asks its handlers before the kernel's
# own loader, so one registered where 32-bit programs run natively would send
# every one of them through the emulator. The registration lasts until the
# machine restarts; the install step makes it again then.
# Exit status 0 when the loader runs (at the end), 1 when it cannot be made to,
# with the reason.
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
