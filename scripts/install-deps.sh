#!/usr/bin/env bash
# Installs what building and testing Osprel needs on a Debian 12 machine, and
# nothing when it is all there already. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake make g++ python3
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # cross compiler, windres
  wine wine64 fonts-wine                                 # runs the Windows side
  xvfb xauth x11-utils imagemagick xdotool               # virtual display, screenshots, keys
  libgtest-dev googletest libbenchmark-dev               # tests, both sides; benchmarks
  clang libclang-rt-14-dev clang-tidy cppcheck           # make check: fuzzer, static analysis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
