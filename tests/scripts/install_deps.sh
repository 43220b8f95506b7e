#!/usr/bin/env bash
# The install step against a machine of stand-ins: apt-get, dpkg, dpkg-query,
# apt-config, sudo, id and sleep, on a PATH without the real ones (nor sudo).
# The stand-in apt-get fails as Debian 12's did on a mirror in the middle of a
# sync (its update on stderr with status 100; its explanation of an unmet
# dependency on stdout) and refuses, as apt does, whoever is not root. For
# each case: the exit status, the pauses asked for, what was said, and what
# was asked of the machine.
#   install_deps.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
stand_ins=(apt-get apt-config dpkg dpkg-query id sleep sudo)

# The machine's own commands, but for the stand-ins' names and Wine's server
# (wine-env.sh asks it whether Wine takes TMPDIR).
mkdir "$work/system" "$work/fake"
cp -s /usr/sbin/* "$work/system/" 2>/dev/null
cp -sf /usr/bin/* "$work/system/" 2>/dev/null
for name in "${stand_ins[@]}" wineserver; do rm -f "$work/system/$name"; done

# Each stand-in logs what it was asked, as whom (sudo runs its command as 0),
# then runs its body, read from standard input.
stand_in() {   # NAME
  {
    cat <<'EOF'
#!/bin/bash
uid=${FAKE_UID:-$(<"$STATE/uid")}
echo "uid=$uid ${0##*/} $*" >>"$STATE/calls"
EOF
    cat
  } >"$work/fake/$1"
  chmod +x "$work/fake/$1"
}
stand_in sudo <<'EOF'
FAKE_UID=0 exec "$@"
EOF
stand_in id <<'EOF'
[ "$1" = -u ] && echo "$uid"
EOF
# A pause is logged and ends at once, or, asked so, lasts (its pid logged).
stand_in sleep <<'EOF'
echo "$1" >>"$STATE/sleeps"
[ ! -e "$STATE/pauses-last" ] || { echo $$ >"$STATE/pause-pid"; exec /usr/bin/sleep "$1"; }
EOF
stand_in apt-config <<'EOF'
echo "parts='$STATE/machine-preferences.d/'"
EOF
# Installed: a line "every" stands for every package but those in "missing".
stand_in dpkg-query <<'EOF'
declare -A installed missing
while read -r p; do installed[$p]=1; done <"$STATE/installed"
while read -r p; do missing[$p]=1; done <"$STATE/missing"
status=0
for p in "${@:4}"; do
  if [ -n "${installed[$p]:-}" ] || { [ -n "${installed[every]:-}" ] && [ -z "${missing[$p]:-}" ]; }; then
    [[ $p == *:* ]] || p+=:amd64; echo "$p install ok installed"
  else echo "dpkg-query: no packages found matching $p" >&2; status=1; fi
done
exit $status
EOF
stand_in dpkg <<'EOF'
case $1 in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) cat "$STATE/architectures" ;;
  --add-architecture) [ "$uid" = 0 ] || exit 2; echo "$2" >>"$STATE/architectures" ;;
  --remove-architecture) [ "$uid" = 0 ] || exit 2
                         grep -vx "$2" "$STATE/architectures" >"$STATE/a"; mv "$STATE/a" "$STATE/architectures" ;;
  *) exit 2 ;;
esac
EOF
# Updates: one outcome per call from "updates" (ok or midsync; ok once used up).
# Installs, by "install": ok; stale, which fails after a failed update unless
# the failed suite is put below the main one; unmet, which always fails.
stand_in apt-get <<'STAND_IN'
[ "$uid" = 0 ] || {
  echo "E: Could not open lock file /var/lib/dpkg/lock-frontend - open (13: Permission denied)" >&2; exit 100; }
if [ "$1" = update ]; then
  read -r outcome rest <"$STATE/updates"; echo "$rest" >"$STATE/updates"
  echo "${outcome:-ok}" >"$STATE/last-update"
  [ "${outcome:-ok}" = midsync ] || exit 0
  cat >&2 <<EOF
E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
   Hashes of expected file:
    - Filesize:376004 [weak]
    - SHA256:5aa58ea44688978d17b28ffab762d89251fefc64aa2548ac43e228e5fd91d903
   Release file created at: Mon, 07 Dec 2026 23:22:40 +0000
E: Some index files failed to download. They have been ignored, or old ones used instead.
EOF
  exit 100
fi
packages=() preferences="" quiet=1
while [ $# -gt 0 ]; do
  case $1 in
    -o) [[ $2 != Dir::Etc::PreferencesParts=* ]] || preferences=${2#*=}; shift ;;
    -qq) quiet=2 ;;
    -*|install) ;;
    *) packages+=("$1") ;;
  esac
  shift
done
below=no
if [ -n "$preferences" ]; then
  echo "$preferences" >>"$STATE/preferences"
  ls "$preferences" >>"$STATE/preferences"
  grep -A1 -x "Pin: release n=bookworm-security" "$preferences"/* | grep -q "Pin-Priority: 100" && below=yes
fi
[ $quiet = 2 ] || echo "Reading package lists..."
case $(<"$STATE/install"):$(cat "$STATE/last-update" 2>/dev/null):$below in
  ok:*|stale:ok:*|stale:*:yes) printf "%s\n" "${packages[@]}" >>"$STATE/installed"; exit 0 ;;
esac
# Under -qq apt leaves out all but its errors.
[ $quiet = 2 ] || cat <<EOF
Building dependency tree...
Reading state information...
Some packages could not be installed. This may mean that you have
requested an impossible situation or if you are using the unstable
distribution that some required packages have not yet been created
or been moved out of Incoming.
The following information may help to resolve the situation:

The following packages have unmet dependencies:
 ${packages[0]} : Depends: zlib1g (= 1:1.2.13.dfsg-1+deb12u1) but 1:1.2.13.dfsg-1 is to be installed
EOF
echo "E: Unable to correct problems, you have held broken packages." >&2
exit 100
STAND_IN

failed=()   # the cases with a failed check, once each
fail() { echo "FAIL $1: $2"; [[ " ${failed[*]} " == *" [$1] "* ]] || failed+=("[$1]"); }
check() {   # CASE WHAT EXPECTED ACTUAL
  [ "$3" = "$4" ] || fail "$1" "$2: expected [$3], got [$4]"
}
contains() {   # CASE WHAT TEXT NEEDLE
  [[ $3 == *"$4"* ]] || fail "$1" "$2 does not say [$4]: [$3]"
}
lacks() {   # CASE WHAT TEXT NEEDLE
  [[ $3 != *"$4"* ]] || fail "$1" "$2 says [$4]: [$3]"
}

# Machine: fresh (nothing installed, no i386), all-but-PACKAGE (all installed
# but that one, i386 among the architectures), all-but-PACKAGE-no-i386, or
# everything. User: root, sudo (not root, with sudo) or plain (neither).
# Said: what the step's words hold, ";" between; "-" for nothing at all.
# Case | mode | machine | user | updates | install | status | pauses | said
cases=(
  "mirror mid-sync, clearing on retry|wine32|all-but-wine32:i386|root|midsync ok|stale|0|60|waiting 60 s for it before trying again (try 2 of 3);(bookworm-security)"
  "mid-sync that never clears: the main suite's packages for that one command|wine32|all-but-wine32:i386-no-i386|root|midsync midsync midsync|stale|0|60 120|bookworm-security put below the main suite, for this one apt command only;the packages then come from the main suite, without bookworm-security's updates, until the mirror has synced and apt-get upgrade brings them"
  "mid-sync that never clears, nor does the fallback help|wine32|all-but-wine32:i386-no-i386|sudo|midsync midsync midsync|unmet|1|60 120|apt could not install wine32:i386.; wine32:i386 : Depends: zlib1g (= 1:1.2.13.dfsg-1+deb12u1) but 1:1.2.13.dfsg-1 is to be installed;E: Unable to correct problems, you have held broken packages.;bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?;the 64-bit program still runs: make, make run, make screenshot and make dist work; make run ARCH=win32, make test and make bench do not.;the mirror is in the middle of a sync; run the same command again later;the i386 architecture this step added is removed again."
  "an unmet dependency, the lists up to date|all|all-but-libgtest-dev|sudo|ok|unmet|1||apt could not install libgtest-dev.; libgtest-dev : Depends: zlib1g (= 1:1.2.13.dfsg-1+deb12u1);held broken packages;make run, make screenshot and make dist do not need them and still work;apt-get install --no-install-recommends libgtest-dev shows the whole of apt's answer"
  "not root, no sudo|program|fresh|plain|ok|ok|1||installing what is missing needs root, and this is not root and has no sudo: run the same command as root, or have it installed as root: apt-get install --no-install-recommends cmake make"
  "program on a fresh machine|program|fresh|sudo|ok|ok|0||Installing: cmake make"
  "the 32-bit half on a fresh machine: its lists fetched once i386 is there|wine32|fresh|root|ok ok|ok|0||Installing: wine32:i386"
  "nothing missing, all|all|everything|plain|ok|ok|0||-"
  "nothing missing, the 32-bit half|wine32|everything|plain|ok|ok|0||-"
)

prepare_case() {   # MACHINE USER UPDATES INSTALL
  local machine=$1
  rm -rf "$work/state" "$work/tmp" && mkdir -p "$work/state/machine-preferences.d" "$work/tmp"
  export STATE=$work/state
  echo "Package: nodejs" >"$STATE/machine-preferences.d/nodejs"
  : >"$STATE/installed"; : >"$STATE/missing"; : >"$STATE/calls"; : >"$STATE/sleeps"
  echo "$3" >"$STATE/updates"; echo "$4" >"$STATE/install"
  [ "$2" = root ] && echo 0 >"$STATE/uid" || echo 1000 >"$STATE/uid"
  echo i386 >"$STATE/architectures"
  case $machine in
    fresh|*-no-i386) : >"$STATE/architectures" ;;
  esac
  machine=${machine%-no-i386}
  case $machine in
    everything) echo every >"$STATE/installed" ;;
    all-but-*) echo every >"$STATE/installed"; echo "${machine#all-but-}" >"$STATE/missing" ;;
  esac
  fake=$work/fake
  [ "$2" = sudo ] || fake=$work/fake-without-sudo
}
run_step() {   # MODE
  exec env -u FAKE_UID -u OSPREL_WINE32 PATH="$fake:$work/system" TMPDIR="$work/tmp" OSPREL_WINE32_LOADER="$work/loader" \
    OSPREL_BINFMT_DIR="$work/binfmt" "$root/scripts/install-deps.sh" "$1" </dev/null
}
cp -a "$work/fake" "$work/fake-without-sudo" && rm "$work/fake-without-sudo/sudo"
printf '#!/bin/sh\necho wine-8.0\n' >"$work/loader" && chmod +x "$work/loader"   # runs natively
mkdir "$work/binfmt" && : >"$work/binfmt/register"

for row in "${cases[@]}"; do
  IFS='|' read -r name mode machine user updates install status_expected pauses words <<<"$row"
  prepare_case "$machine" "$user" "$updates" "$install"
  said=$(run_step "$mode" 2>&1)
  status=$?
  check "$name" "exit status" "$status_expected" "$status"
  check "$name" "pauses" "$pauses" "$(paste -sd ' ' "$STATE/sleeps")"
  if [ "$words" = - ]; then
    check "$name" "words" "" "$said"
    check "$name" "what was asked of the machine" "" \
      "$(grep -v -e ' dpkg-query ' -e ' id -u' -e ' dpkg --print-' "$STATE/calls")"
  else
    IFS=';' read -ra needles <<<"$words"
    for needle in "${needles[@]}"; do contains "$name" "the step" "$said" "$needle"; done
  fi
  calls=$(cat "$STATE/calls")
  # Every change was asked as root, and nothing was asked that is not there.
  lacks "$name" "the step" "$said" "Permission denied"
  lacks "$name" "the step" "$said" "command not found"
  check "$name" "calls as another user" "" "$(grep -v -e '^uid=0 ' -e ' dpkg-query ' -e ' id ' -e ' dpkg --print' \
    -e ' sudo ' -e ' sleep ' -e ' apt-config ' <<<"$calls")"
  check "$name" "left in the temporary folder" "" "$(ls -A "$work/tmp")"
  # The fallback's preferences: the machine's own came along, and they are gone.
  if [ -s "$STATE/preferences" ]; then
    contains "$name" "the fallback's preferences" "$(cat "$STATE/preferences")" nodejs
    check "$name" "the fallback's preferences left" "" "$(head -n 1 "$STATE/preferences" | xargs ls -d 2>/dev/null)"
  fi
  case $name in
    mirror*) check "$name" "preferences given to apt" "" "$(cat "$STATE/preferences" 2>/dev/null)"
             check "$name" "updates" 2 "$(grep -c ' apt-get update' <<<"$calls")" ;;
    "mid-sync that never clears: "*)
             contains "$name" "installed" "$(cat "$STATE/installed")" wine32:i386
             check "$name" "architectures" i386 "$(cat "$STATE/architectures")" ;;
    "the 32-bit half on a fresh machine"*)
      check "$name" "updates after i386 was added" 1 \
        "$(sed -n '/--add-architecture i386/,$p' <<<"$calls" | grep -c ' apt-get update')" ;;
    "mid-sync that never clears, nor"*) check "$name" "architectures" "" "$(cat "$STATE/architectures")" ;;
    "not root"*) check "$name" "lines said" 1 "$(wc -l <<<"$said")"
                 lacks "$name" "the calls" "$calls" apt-get
                 lacks "$name" "the step" "$said" "apt-get update reported errors" ;;
    program*) lacks "$name" "the calls" "$calls" "--add-architecture"
              lacks "$name" "the calls" "$calls" ":i386"
              contains "$name" "the install" "$(grep ' install ' <<<"$calls")" " wine64 "
              for tool in g++-mingw-w64-x86-64-posix libgtest-dev clang; do
                lacks "$name" "the install" "$(grep ' install ' <<<"$calls")" " $tool "
              done ;;
  esac
done

# Stopped (TERM) while it waits for the mirror: it ends at once, its pause and
# its temporary folder with it.
name="TERM while waiting for the mirror"
prepare_case fresh root midsync stale
touch "$STATE/pauses-last"
run_step program >/dev/null 2>&1 &
step=$!
for _ in $(seq 100); do [ -s "$STATE/pause-pid" ] && break; /usr/bin/sleep 0.1; done   # up to 10 s
[ -s "$STATE/pause-pid" ] || fail "$name" "no pause within 10 s"
kill -TERM $step
stopped_at=$SECONDS
wait $step
check "$name" "exit status" 143 $?
[ $((SECONDS - stopped_at)) -le 5 ] || fail "$name" "it ended $((SECONDS - stopped_at)) s after TERM"
# Killed, the pause is gone or a zombie (its new parent reaps it when it
# will); a pause the step left would run its 60 s.
pause=$(<"$STATE/pause-pid")
running() { ps -o stat= -p "$pause" | grep -v '^Z'; }
for _ in $(seq 50); do running >/dev/null || break; /usr/bin/sleep 0.1; done   # up to 5 s
check "$name" "the pause running 5 s after the step ended" "" "$(running)"
kill "$pause" 2>/dev/null
check "$name" "left in the temporary folder" "" "$(ls -A "$work/tmp")"

echo "$((${#cases[@]} + 1 - ${#failed[@]})) passed, ${#failed[@]} failed"
[ ${#failed[@]} = 0 ]
