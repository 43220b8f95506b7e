#!/usr/bin/env bash
# Installs what building and testing Osprel needs on Debian 12 or 13, silently nothing when it is all
# there; as root or with sudo at hand (docs/building.md#installing). No argument: the programs, their
# tests and checks. `program`: only what building and running the programs needs, so that `make run`
# waits for no test tools. `wine32`: that, and Wine's 32-bit half (i386 packages) and its emulator.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-all}
[[ $mode =~ ^(all|program|wine32)$ ]] || { echo "usage: install-deps.sh [program|wine32]" >&2; exit 2; }

say() { echo "install-deps.sh: $*" >&2; }

. /etc/os-release
clang_version=19   # the one name that differs between Debian releases
[ "${VERSION_ID:-}" != 12 ] || clang_version=14
[[ ${VERSION_ID:-} == 1[23] ]] ||
  say "Debian ${VERSION_ID:-of an unknown release} is untested; using Debian 13's package names"

program_packages=(
  cmake make python3 git procps util-linux binutils-mingw-w64-x86-64 binutils-mingw-w64-i686  # pgrep, flock
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32    # their runtime needs nothing newer than Windows XP
  wine wine64 fonts-wine fonts-wqy-microhei              # wine64 alone runs the 64-bit program; Chinese names
  xvfb xauth x11-utils imagemagick xdotool openbox       # virtual display, screenshots, keys, a window manager
)
test_packages=(
  g++ libgtest-dev googletest libbenchmark-dev           # the native build; tests, both sides; benchmarks
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix    # GoogleTest needs std::mutex: the -posix thread model
  clang "libclang-rt-$clang_version-dev" clang-tidy cppcheck shellcheck   # make check: fuzzer, static analysis
  osslsigncode openssl python3-yaml python3-pefile       # signed releases and their manifest; the PE checks
)

# One dpkg-query for all: `make` asks this every time.
missing_packages() {   # PACKAGE...
  local native installed p
  native=$(dpkg --print-architecture)
  installed=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' -- "$@" 2>/dev/null |
              sed -n 's/^\(.*\) install ok installed$/ \1 /p') || true   # it fails for packages not there
  for p; do
    [[ $p == *:* ]] || p+=":$native"
    [[ $installed == *" $p "* || $installed == *" ${p%:*}:all "* ]] || echo "${p%:"$native"}"
  done
}

install_command() {   # PACKAGE...
  [[ " $* " != *:i386\ * ]] || printf 'dpkg --add-architecture i386 && apt-get update && '
  echo "apt-get install --no-install-recommends $*"
}

sudo=unknown   # how commands that need root run, "" or sudo: asked once, only when something is missing
become_root() {   # MISSING-PACKAGE...
  [ "$sudo" = unknown ] || return 0
  sudo=""
  [ "$(id -u)" -ne 0 ] || return 0
  command -v sudo >/dev/null || { say "installing what is missing needs root, and this is not root and has" \
    "no sudo: run the same command as root, or have it installed as root: $(install_command "$@")"; exit 1; }
  sudo true || { say "sudo refused; installing $* needs root."; exit 1; }
  sudo=sudo
}

scratch="" pause=""   # apt's words and the fallback's preferences; a pause that must not outlive the step
trap '[ -z "$scratch" ] || rm -rf "$scratch"; [ -z "$pause" ] || kill "$pause" 2>/dev/null' EXIT
trap 'exit 129' HUP; trap 'exit 130' INT; trap 'exit 143' TERM

# Keeps apt-get update's lines about the indexes it could not download (failed_indexes) and their suites
# (dists/NAME): a failed index is no failure yet, as apt keeps the list it had, which may still do.
lists_updated=no
update_lists() {
  [ $lists_updated = no ] || return 0
  lists_updated=yes failed_indexes="" failed_suites=""
  $sudo apt-get update -qq >/dev/null 2>"$scratch/update" && return 0
  failed_indexes=$(cd "$scratch" && { grep 'Failed to fetch' update || grep '^[EW]:' update || cat update; })
  failed_suites=$(sed -n 's|.*Failed to fetch .*/dists/\([^/]*\)/.*|\1|p' <<<"$failed_indexes" | sort -u | xargs)
}

# A mirror in the middle of a sync serves indexes that do not match its release file.
mid_sync() { grep -q -e 'Mirror sync in progress' -e 'Hash Sum mismatch' <<<"$failed_indexes"; }

# -q, not -qq, which leaves out apt's account of an unmet dependency; nothing of the machine's removed.
apt_install() {   # [APT-OPTION...] PACKAGE...
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends --no-remove "$@" \
    >"$scratch/install" 2>&1
}

# The failed suites put below the main one for this apt command alone, the machine's own preferences
# alongside, so that i386 twins the failed index hides come with their amd64 halves from the main suite.
install_below_failed() {   # PACKAGE...
  local parts="" prefs=$scratch/preferences.d suite
  mkdir -p "$prefs"
  eval "$(apt-config shell parts Dir::Etc::PreferencesParts/d)"
  if [ -d "$parts" ]; then cp -- "$parts"/* "$prefs/" 2>/dev/null || true; fi
  for suite in $failed_suites; do
    printf 'Package: *\nPin: release %s\nPin-Priority: 100\n\n' "n=$suite" "a=$suite"
  done >"$prefs/00osprel-mirror-sync.pref"
  apt_install -o "Dir::Etc::PreferencesParts=$prefs" "$@"
}

# Which packages apt could not install and why, what still works without them, and what to do.
explain_failure() {   # GROUP PACKAGE...
  local group=$1 named; shift
  local some="make run, make screenshot and make dist" win32="make run ARCH=win32, make test and make bench"
  local still64="the 64-bit program still runs: make, $some work; $win32 do not."
  named=$(sed -nE "s/^( ([^ ]+) : |E: Unable to locate package ([^ ]+)|E: Package '([^']+)' has no).*/\2\3\4/p" \
            "$scratch/install" | sort -u | paste -sd ' ')
  say "apt could not install ${named:-$*}."
  echo "apt says:"
  sed -n -e '/^The following packages have unmet dependencies:/,/^$/p' -e '/^Package .* is not available/,/^$/p' \
         -e '/^[EW]: /p' -e '/^dpkg: /p' "$scratch/install" | awk 'NF && !seen[$0]++ { print "  " $0 }'
  if [ -n "$failed_indexes" ]; then
    echo "apt-get update could not download some of the package lists; apt worked from older ones, or none:"
    echo "  ${failed_indexes//$'\n'/$'\n'  }"
  fi
  case $group in
    program) echo "Nothing of Osprel can be built or run without them: make, $some need them, and so does" \
                  "everything else." ;;
    tests) echo "$some do not need them and still work; make test, make check and make bench need them." ;;
    wine32) echo "Without Wine's 32-bit half $still64" ;;
    emulator) echo "Without the emulator this kernel runs no 32-bit programs, so Wine's 32-bit half does not" \
                   "run: $still64" ;;
  esac
  echo -n "What to do: "
  if mid_sync; then
    echo "the mirror is in the middle of a sync; run the same command again later, or name another Debian" \
         "mirror in /etc/apt/sources.list or /etc/apt/sources.list.d/."
  elif [ -n "$failed_indexes" ]; then
    echo "check the network and the mirror named above, then run the same command again."
  else
    echo "as root, $(install_command "$@") shows the whole of apt's answer; once it installs them, run the" \
         "same command again."
  fi
}

install_group() {   # GROUP PACKAGE...
  local group=$1 missing try=0 added_i386=no pauses=(60 120)   # seconds, before the second and third tries
  shift
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  become_root "${missing[@]}"
  [ -n "$scratch" ] || scratch=$(mktemp -d)
  echo "Installing: ${missing[*]}"
  if [ "$group" = wine32 ] && ! grep -qx i386 <<<"$(dpkg --print-foreign-architectures)"; then
    $sudo dpkg --add-architecture i386
    added_i386=yes lists_updated=no   # the new architecture's lists
  fi
  while :; do
    update_lists
    apt_install "${missing[@]}" && return 0
    if ! mid_sync || [ $try -ge ${#pauses[@]} ]; then break; fi
    say "apt could not install ${missing[*]}, and the mirror is in the middle of a sync" \
        "(${failed_suites:-an index}); waiting ${pauses[try]} s for it before trying again" \
        "(try $((try + 2)) of $((${#pauses[@]} + 1)))."
    sleep "${pauses[try]}" & pause=$!   # in the background, so that a signal ends the step at once
    wait $pause
    pause="" try=$((try + 1)) lists_updated=no
  done
  if mid_sync && [ -n "$failed_suites" ]; then
    say "the index of $failed_suites still fails to download. Installing once more with $failed_suites put" \
        "below the main suite, for this one apt command only: the packages then come from the main suite," \
        "without $failed_suites's updates, until the mirror has synced and apt-get upgrade brings them."
    install_below_failed "${missing[@]}" && { say "installed without $failed_suites's updates."; return 0; }
  fi
  explain_failure "$group" "${missing[@]}" >&2
  if [ $added_i386 = yes ]; then   # the machine's apt as it was
    local taken="is removed again."
    $sudo dpkg --remove-architecture i386 2>/dev/null || taken="stays (dpkg --remove-architecture i386 refused)."
    say "the i386 architecture this step added $taken"
  fi
  exit 1
}

install_group program "${program_packages[@]}"
[ "$mode" != all ] || install_group tests "${test_packages[@]}"

# The emulator only where the kernel cannot run Wine's 32-bit loader itself.
if [ "$mode" = wine32 ]; then
  install_group wine32 wine32:i386
  unset OSPREL_WINE32   # a caller's, found before this install: found anew
  # shellcheck source=wine-env.sh
  . "$here/wine-env.sh"
  if [ "$wine32" = none ] && ! i386_handler >/dev/null; then
    install_group emulator qemu-user-static
    as_root=""   # it says itself why it cannot where it cannot
    [ "$(id -u)" -eq 0 ] || ! command -v sudo >/dev/null || as_root=sudo
    $as_root "$here/register-i386-emulator.sh" || true
  fi
fi
