#!/usr/bin/env bash
# Installs what building and testing Osprel needs on Debian 12 or 13, and
# nothing when it is all there already. Run as root (or with sudo available).
#   install-deps.sh          everything: the programs, their tests and checks
#   install-deps.sh program  only what building and running the programs
#                            needs, so that `make run` on a new machine shows
#                            the window without waiting for the test tools
#   install-deps.sh wine32   what running the 32-bit program under Wine needs
#                            beyond that: on a kernel that runs no 32-bit
#                            Linux programs, Debian's qemu-user-static,
#                            registered for them (register-i386-emulator.sh);
#                            where it cannot be, it says why and ends with 0,
#                            and whatever runs the 32-bit program refuses
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-all}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# The names that differ between Debian releases.
. /etc/os-release
case ${VERSION_ID:-} in
  12) clang_version=14 ;;
  13) clang_version=19 ;;
  *) echo "install-deps.sh: Debian ${VERSION_ID:-of an unknown release} is untested; using Debian 13's" \
          "package names" >&2
     clang_version=19 ;;
esac

packages=(
  cmake make python3 git
  procps util-linux                                      # pgrep; flock, setsid, taskset
  # Cross compilers and windres for both programs: the -win32 ones, whose
  # runtime needs nothing newer than Windows XP.
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  wine wine64 wine32:i386 fonts-wine                     # runs both programs
  fonts-wqy-microhei                                     # names in other scripts, in our prefixes
  xvfb xauth x11-utils imagemagick xdotool               # virtual display, screenshots, keys
  openbox                                                # a window manager on that display
)
case $mode in
  program|wine32) ;;
  *) packages+=(
       g++                                               # the native build
       # GoogleTest needs std::mutex, which only the -posix thread model has.
       g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
       libgtest-dev googletest libbenchmark-dev          # tests, both sides; benchmarks
       clang "libclang-rt-$clang_version-dev" clang-tidy cppcheck   # make check: fuzzer, static analysis
       osslsigncode openssl python3-yaml                 # signed releases, the manifest's test
       python3-pefile                                    # the PE checks and the bench read programs with it
     ) ;;
esac

# Wine's 32-bit half comes from the i386 architecture.
added_architecture=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  added_architecture=yes
fi

missing_packages() {
  local p
  for p; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

install() {
  local missing
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -gt 0 ] || [ $added_architecture = yes ] || return 0
  echo "Installing: ${missing[*]}"
  # A mirror in the middle of a sync serves an index that does not match its
  # release file; apt then keeps the list it had, which may still do. Only a
  # failed installation stops us.
  $sudo apt-get update -qq || echo "install-deps.sh: apt-get update reported errors; trying with the lists it has" >&2
  added_architecture=no
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install "${packages[@]}"

# The 32-bit program: Wine's 32-bit loader must run. The emulator only where
# the kernel cannot run it itself, and never registered where it can.
if [ "$mode" = wine32 ]; then
  . "$here/wine-env.sh"
  if [ "$wine32" = none ] && ! i386_handler >/dev/null; then
    install qemu-user-static
    $sudo "$here/register-i386-emulator.sh" || true
  fi
fi
