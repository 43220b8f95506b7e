#!/usr/bin/env bash
# Installs what building and testing Osprel needs on a Debian 12 machine, and
# nothing when it is all there already. Run as root (or with sudo available).
#   install-deps.sh          everything: the programs, their tests and checks
#   install-deps.sh program  only what building and running the programs
#                            needs, so that `make run` on a new machine shows
#                            the window without waiting for the test tools
set -euo pipefail

packages=(
  cmake make python3
  # Cross compilers and windres for both programs: the -win32 ones, whose
  # runtime needs nothing newer than Windows XP.
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  wine wine64 wine32:i386 fonts-wine                     # runs both programs
  fonts-wqy-microhei                                     # names in other scripts, in our prefixes
  xvfb xauth x11-utils imagemagick xdotool               # virtual display, screenshots, keys
  openbox                                                # a window manager on that display
)
if [ "${1:-}" != program ]; then
  packages+=(
    g++                                                  # the native build
    # GoogleTest needs std::mutex, which only the -posix thread model has.
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    libgtest-dev googletest libbenchmark-dev             # tests, both sides; benchmarks
    clang libclang-rt-14-dev clang-tidy cppcheck         # make check: fuzzer, static analysis
    osslsigncode openssl python3-yaml                    # signed releases, the manifest's test
    python3-pefile                                       # the PE checks and the bench read programs with it
  )
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# Wine's 32-bit half comes from the i386 architecture.
added_architecture=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  added_architecture=yes
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ $added_architecture = no ] && exit 0

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
