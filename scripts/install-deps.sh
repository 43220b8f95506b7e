#!/usr/bin/env bash
# Installs what building and testing Osprel needs on Debian 12 or 13, and
# nothing, silently, when it is all there already. Run as root (or with sudo
# available).
#   install-deps.sh          the programs, their tests and checks: 64-bit
#                            packages only
#   install-deps.sh program  only what building and running the programs
#                            needs, so that `make run` on a new machine shows
#                            the window without waiting for the test tools;
#                            64-bit packages only, no architecture added
#   install-deps.sh wine32   that, and what running the 32-bit program under
#                            Wine needs beyond it: Wine's 32-bit half (the
#                            i386 architecture, wine32:i386) and, on a kernel
#                            that runs no 32-bit Linux programs, Debian's
#                            qemu-user-static, registered for them
#                            (register-i386-emulator.sh); where that cannot
#                            be, it says why and ends with 0, and whatever
#                            runs the 32-bit program refuses
# Where apt cannot install a group of packages it says which, apt's own
# reasons, the package index that failed to download, what still works
# without them and what to do, and ends with 1. A mirror in the middle of a
# sync is given a few minutes; then, for one apt command only, the suites
# whose index failed are put below the main suite (see install_below_failed).
# Nothing of apt's configuration is changed for good.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-all}
case $mode in
  all|program|wine32) ;;
  *) echo "usage: install-deps.sh [program|wine32]" >&2; exit 2 ;;
esac

say() { echo "install-deps.sh: $*" >&2; }

# The names that differ between Debian releases.
. /etc/os-release
case ${VERSION_ID:-} in
  12) clang_version=14 ;;
  13) clang_version=19 ;;
  *) say "Debian ${VERSION_ID:-of an unknown release} is untested; using Debian 13's package names"
     clang_version=19 ;;
esac

# Debian's wine depends on wine64 or wine32: with wine64 alone it runs 64-bit
# programs (scripts/wine-env.sh starts Wine's 64-bit loader where the 32-bit
# one is missing).
program_packages=(
  cmake make python3 git
  procps util-linux                                      # pgrep; flock, setsid, taskset
  # Cross compilers and windres for both programs: the -win32 ones, whose
  # runtime needs nothing newer than Windows XP.
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  wine wine64 fonts-wine                                 # runs the programs
  fonts-wqy-microhei                                     # names in other scripts, in our prefixes
  xvfb xauth x11-utils imagemagick xdotool               # virtual display, screenshots, keys
  openbox                                                # a window manager on that display
)
test_packages=(
  g++                                                    # the native build
  # GoogleTest needs std::mutex, which only the -posix thread model has.
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libgtest-dev googletest libbenchmark-dev               # tests, both sides; benchmarks
  clang "libclang-rt-$clang_version-dev" clang-tidy cppcheck shellcheck   # make check: fuzzer, static analysis
  osslsigncode openssl python3-yaml                      # signed releases, the manifest's test
  python3-pefile                                         # the PE checks and the bench read programs with it
)
wine32_packages=(wine32:i386)                            # Wine's 32-bit half
emulator_packages=(qemu-user-static)

# What still works without a group of packages.
without() {   # GROUP
  local run64="the 64-bit program still runs: make, make run, make screenshot and make dist work"
  case $1 in
    program) echo "Nothing of Osprel can be built or run without them: make, make run, make screenshot and" \
                  "make dist need them, and so does everything else." ;;
    tests) echo "make run, make screenshot and make dist do not need them and still work; make test," \
                "make check and make bench need them." ;;
    wine32) echo "Without Wine's 32-bit half $run64; make run ARCH=win32, make test and make bench do not." ;;
    emulator) echo "Without the emulator this kernel runs no 32-bit programs, so Wine's 32-bit half does not" \
                   "run: $run64; make run ARCH=win32, make test and make bench do not." ;;
  esac
}

# One dpkg-query for all: `make` asks this every time.
missing_packages() {
  local native line p
  local -A installed=()
  native=$(dpkg --print-architecture)
  while read -r line; do
    installed[$line]=1
  done < <(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' -- "$@" 2>/dev/null |
           sed -n 's/ install ok installed$//p')
  for p; do
    [[ $p == *:* ]] || p+=":$native"
    [ -n "${installed[$p]:-}" ] || [ -n "${installed[${p%:*}:all]:-}" ] || echo "${p%:"$native"}"
  done
}

# ---- Root --------------------------------------------------------------------
sudo=unknown   # how commands that need root are run: "" as root, or sudo

# Asked once, and only when something is to be installed.
become_root() {   # MISSING-PACKAGE...
  [ "$sudo" = unknown ] || return 0
  if [ "$(id -u)" -eq 0 ]; then sudo=""; return 0; fi
  if ! command -v sudo >/dev/null; then
    say "installing what is missing needs root, and this is not root and has no sudo: run the same" \
        "command as root, or have it installed as root: $(install_command "$@")"
    exit 1
  fi
  sudo true || { say "sudo refused; installing $* needs root."; exit 1; }
  sudo=sudo
}

install_command() {   # PACKAGE...
  local add=""
  [[ " $* " != *:i386\ * ]] || add="dpkg --add-architecture i386 && apt-get update && "
  echo "${add}apt-get install --no-install-recommends $*"
}

# ---- The i386 architecture, for Wine's 32-bit half -------------------------------
added_i386=no
add_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  $sudo dpkg --add-architecture i386
  added_i386=yes
  lists_updated=no   # the new architecture's lists
}

# Taken back where this run added it and nothing of it could be installed, so
# that the machine's apt is as it was.
take_back_i386() {
  [ $added_i386 = yes ] || return 0
  if $sudo dpkg --remove-architecture i386 2>/dev/null; then
    say "the i386 architecture this step added is removed again."
  else
    say "the i386 architecture this step added stays (dpkg --remove-architecture i386 refused)."
  fi
}

# ---- apt ---------------------------------------------------------------------
scratch=""   # apt's words, and the fallback's preferences; removed on every exit
pause=""     # the pause before another try, ended with the step
trap '[ -z "$scratch" ] || rm -rf "$scratch"; [ -z "$pause" ] || kill "$pause" 2>/dev/null' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

lists_updated=no
failed_indexes=""   # apt-get update's lines about the indexes it could not download
mid_sync=no         # whether they say the mirror is in the middle of a sync
failed_suites=()    # the suites (dists/NAME) of those indexes

# A mirror in the middle of a sync serves an index that does not match its
# release file; apt then keeps the list it had, which may still do. Only a
# failed installation stops us.
update_lists() {
  [ $lists_updated = yes ] && return 0
  lists_updated=yes
  failed_indexes="" mid_sync=no failed_suites=()
  $sudo apt-get update -qq >/dev/null 2>"$scratch/update" && return 0
  failed_indexes=$(grep -e 'Failed to fetch' "$scratch/update") || failed_indexes=$(grep '^[EW]:' "$scratch/update") ||
    failed_indexes=$(cat "$scratch/update")
  ! grep -q -e 'Mirror sync in progress' -e 'Hash Sum mismatch' <<<"$failed_indexes" || mid_sync=yes
  mapfile -t failed_suites < <(sed -n 's|.*Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*|\1|p' <<<"$failed_indexes" | sort -u)
}

apt_install() {   # [APT-OPTION...] -- PACKAGE...
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  # -q, not -qq: under -qq apt leaves out its explanation of an unmet dependency.
  # --no-remove: nothing of the machine's is removed to make room.
  # Through env: sudo's env_reset would drop the variable.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends --no-remove \
    "${options[@]}" "$@" >"$scratch/install" 2>&1
}

# After the retries, one install with the suites whose index failed put below
# the main suite, through preferences given to that apt command alone (the
# machine's own preferences come along): the i386 twins of libraries whose
# amd64 update apt can see but whose i386 one it cannot then come, with their
# amd64 halves, from the main suite.
install_below_failed() {   # PACKAGE...
  local parts suite prefs=$scratch/preferences.d status=0
  mkdir "$prefs"
  parts=$(apt-config shell parts Dir::Etc::PreferencesParts/d | sed -n "s/^parts='\(.*\)'$/\1/p")
  if [ -d "$parts" ]; then cp -- "$parts"/* "$prefs/" 2>/dev/null || true; fi
  for suite in "${failed_suites[@]}"; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\nPackage: *\nPin: release a=%s\nPin-Priority: 100\n\n' \
      "$suite" "$suite"
  done >"$prefs/00osprel-mirror-sync.pref"
  apt_install -o "Dir::Etc::PreferencesParts=$prefs" -- "$@" || status=$?
  rm -rf "$prefs"
  return $status
}

# apt's reasons: its explanation of unmet dependencies and its errors.
apt_reasons() {
  sed -n -e '/^The following packages have unmet dependencies:/,/^$/p' \
         -e '/^Package .* is not available/,/^$/p' -e '/^[EW]: /p' -e '/^dpkg: /p' "$scratch/install" |
    awk 'NF && !seen[$0]++' | indent   # grep -v would fail, with pipefail, where apt said none
}

indent() { sed 's/^/  /'; }

# The packages apt names as the ones it cannot install, else all asked for.
packages_named() {   # PACKAGE...
  local named
  named=$(sed -n -e 's/^ \([^ ]*\) : .*/\1/p' -e "s/^E: Unable to locate package \([^ ]*\).*/\1/p" \
                 -e "s/^E: Package '\([^']*\)' has no installation candidate.*/\1/p" "$scratch/install" |
          sort -u | paste -sd ' ')
  echo "${named:-$*}"
}

explain_failure() {   # GROUP PACKAGE...
  local group=$1; shift
  {
    echo "install-deps.sh: apt could not install $(packages_named "$@")."
    echo "apt says:"
    apt_reasons
    if [ -n "$failed_indexes" ]; then
      echo "apt-get update could not download part of the mirror's package lists; apt worked from older ones, or none:"
      indent <<<"$failed_indexes"
    fi
    without "$group"
    if [ $mid_sync = yes ]; then
      echo "What to do: the mirror is in the middle of a sync; run the same command again later, or name" \
           "another Debian mirror in /etc/apt/sources.list or /etc/apt/sources.list.d/."
    elif [ -n "$failed_indexes" ]; then
      echo "What to do: check the network and the mirror named above, then run the same command again."
    else
      echo "What to do: as root, $(install_command "$@") shows the whole of apt's answer; once it" \
           "installs them, run the same command again."
    fi
  } >&2
}

retry_pauses=(60 120)   # seconds, before the second and third tries

install_group() {   # GROUP PACKAGE...
  local group=$1 missing try=0
  shift
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  become_root "${missing[@]}"
  [ -n "$scratch" ] || scratch=$(mktemp -d)
  echo "Installing: ${missing[*]}"
  [ "$group" != wine32 ] || add_i386
  while :; do
    update_lists
    apt_install -- "${missing[@]}" && return 0
    if [ $mid_sync = no ] || [ $try -ge ${#retry_pauses[@]} ]; then break; fi
    say "apt could not install ${missing[*]}, and the mirror is in the middle of a sync" \
        "(${failed_suites[*]:-an index}); waiting ${retry_pauses[$try]} s for it before trying again" \
        "(try $((try + 2)) of $((${#retry_pauses[@]} + 1)))."
    # In the background, so that a signal ends the step at once.
    sleep "${retry_pauses[$try]}" & pause=$!
    wait $pause
    pause=""
    try=$((try + 1)) lists_updated=no
  done
  if [ $mid_sync = yes ] && [ ${#failed_suites[@]} -gt 0 ]; then
    say "the index of ${failed_suites[*]} still fails to download. Installing once more with" \
        "${failed_suites[*]} put below the main suite, for this one apt command only (nothing of apt's" \
        "configuration changes): the packages then come from the main suite, without" \
        "${failed_suites[*]}'s updates, until the mirror has synced and apt-get upgrade brings them."
    if install_below_failed "${missing[@]}"; then
      say "installed without ${failed_suites[*]}'s updates; once the mirror has synced, apt-get update" \
          "and apt-get upgrade bring them."
      return 0
    fi
  fi
  explain_failure "$group" "${missing[@]}"
  [ "$group" != wine32 ] || take_back_i386
  exit 1
}

install_group program "${program_packages[@]}"
[ "$mode" = program ] || [ "$mode" = wine32 ] || install_group tests "${test_packages[@]}"

# The 32-bit program: Wine's 32-bit loader must run. The emulator only where
# the kernel cannot run it itself, and never registered where it can.
if [ "$mode" = wine32 ]; then
  install_group wine32 "${wine32_packages[@]}"
  unset OSPREL_WINE32   # a caller's, found before this install: found anew
  # shellcheck source=wine-env.sh
  . "$here/wine-env.sh"
  if [ "$wine32" = none ] && ! i386_handler >/dev/null; then
    install_group emulator "${emulator_packages[@]}"
    # As root where it can be; elsewhere it says itself why it cannot.
    if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then
      sudo "$here/register-i386-emulator.sh" || true
    else
      "$here/register-i386-emulator.sh" || true
    fi
  fi
fi
