#!/usr/bin/env bash
# Wine prefixes of a user's own (made by wineboot, holding a document and
# registry values of every type, a lower-case `managed` among them, and a
# subkey) named to each project command that takes a prefix, each case in a
# fresh copy: the commands that prepare and write theirs refuse it, `make run`
# uses it or says why it cannot, and afterwards its files and registry keys
# are as they were, byte for byte, and a program of the user's that ran in it
# still runs. Every command and every wait is bounded.
#   user_prefix_kept.sh OSPREL_EXE [TEXT]   (show_rows.exe beside it, in tools/)
# With TEXT only the cases whose names hold it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
exe=$(realpath "${1:?usage: user_prefix_kept.sh OSPREL_EXE [TEXT]}") only=${2:-}
# The user's programs draw on a display of their own: the caller's, or one for this test.
[ -n "${DISPLAY:-}" ] || exec "$root/scripts/with-display.sh" "$0" "$@"

mkdir -p "$root/build"
# Everything this test makes, and the only folder it deletes anything in.
work=$(mktemp -d "$root/build/user-prefix-test.XXXXXX") || exit 1
# The caller's own prefix settings are never this test's to write or delete,
# whatever they name: a folder of a user's stands in for all three, and must
# be as it was at the end. Each case names the copy it runs in.
callers=$work/callers-prefix
mkdir "$callers" && echo "the caller's own" >"$callers/keep.txt" || exit 1
export WINEPREFIX=$callers OSPREL_TEST_WINEPREFIX=$callers BENCH_PREFIX=$callers
listing() { (cd "$1" && find . -printf '%p %s %T@\n' | sort && cat keep.txt); }
callers_before=$(listing "$callers")
# The user's programs' process ids, one a line (the commands run in subshells).
user_programs=$work/user-programs
cleanup() {
  local p
  while read -r p; do kill "$p" 2>/dev/null; done < <(cat "$user_programs" 2>/dev/null)
  while read -r p; do
    WINEPREFIX=$p timeout 20 wineserver -k 2>/dev/null
    forget_server "$p"
  done < <(find "$work" -maxdepth 3 -name wineserver -printf '%h\n')
  rm -rf "$work"
}
# Deletes a case's copy: a folder below $work, never anything a setting names.
discard() {
  local p
  for p; do
    [[ $(realpath -ms -- "$p") == "$work"/case* ]] || continue
    forget_server "$p"
    rm -rf -- "$p"
  done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
refused="is not a Wine prefix this project made"
key='HKCU\Software\Wine\AppDefaults\Osprel.exe\X11 Driver'

# A prefix as a user makes one, with a document and values of their own where
# the project's scripts once wrote theirs; or (home) a folder of a user's that
# is no prefix at all.
make_user_prefix() {   # DIR WINEARCH|home
  local r=(wine reg add "$key")
  if [ "$2" = home ]; then
    mkdir -p "$1/drive_c/users/Public/Documents" &&
      echo "a user's own file" >"$1/drive_c/users/Public/Documents/keep.txt" && echo notes >"$1/notes.txt"
    return
  fi
  # Where Wine's 32-bit loader runs only through an emulator (or not at all),
  # a 32-bit prefix takes it minutes to make, and the one case that uses it
  # must start no Wine in it at all: the 64-bit prefix, its system.reg saying
  # win32 (all make run reads), stands in, and is compared byte for byte.
  if [ "$2" = win32 ] && [ "$wine32" != native ]; then
    [ -d "$work/win64" ] || make_user_prefix "$work/win64" win64 || return
    copy_prefix "$work/win64" "$1" && sed -i '1,5s/^#arch=win64$/#arch=win32/' "$1/system.reg" &&
      rm -rf "$1/drive_c/windows/syswow64" && touch "$1/.no-wine"
    return
  fi
  (
    wine_env "$1"
    WINEARCH=$2 env -u DISPLAY timeout 300 wineboot -i >/dev/null 2>&1 || exit 1
    echo "a user's own file" >"$WINEPREFIX/drive_c/users/Public/Documents/keep.txt"
    "${r[@]}" /v managed /t REG_EXPAND_SZ /d Y /f && "${r[@]}" /v Text /t REG_SZ /d kept /f &&
      "${r[@]}" /v Bytes /t REG_BINARY /d 0102ff /f && "${r[@]}" /v Number /t REG_DWORD /d 7 /f &&
      "${r[@]}" /v Big /t REG_QWORD /d 0x100000000 /f && "${r[@]}" /v Lines /t REG_MULTI_SZ /d 'a\0b' /f &&
      "${r[@]}" /v Nothing /t REG_NONE /f &&
      wine reg add "$key\\Sub" /v Inner /t REG_SZ /d 'in a subkey' /f || exit 1
    state >/dev/null   # Wine's own first-start writes (network cards, fonts) land here
  ) >/dev/null
}

# Files, the document's text, and the keys exported by Wine (through C:, so
# that a prefix without Z: is read too).
state() {
  local k
  # Wine writes a prefix's registry files when its server ends (or half a
  # minute after a change): a prefix just made may have none yet.
  ! server_running "$WINEPREFIX" || timeout 60 wineserver -w
  (cd "$WINEPREFIX" && find . ! -name '*.reg' | sort && cat drive_c/users/Public/Documents/keep.txt)
  # Wine would make a folder that is no prefix into one: its files say it all.
  [ -f "$WINEPREFIX/system.reg" ] || return 0
  [ ! -f "$WINEPREFIX/.no-wine" ] || { (cd "$WINEPREFIX" && sha256sum ./*.reg); return 0; }
  for k in 'HKCU\Software\Wine\AppDefaults' 'HKCU\Software\Wine\X11 Driver' 'HKCU\Control Panel\Desktop' \
           'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'; do
    if env -u DISPLAY timeout 60 wine reg export "$k" 'C:\key.reg' /reg:64 /y >/dev/null 2>&1; then
      iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/key.reg"
    else
      echo "no $k"
    fi
    rm -f "$WINEPREFIX/drive_c/key.reg"
  done
  # A later program must find no server started without a display.
  timeout 20 wineserver -w
}

# A copy of a made prefix; the system folders' programs, which nothing here
# writes, are shared as hard links.
copy_prefix() {   # FROM TO
  mkdir -p "$2" &&
    tar -C "$1" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 -cf - . |
    tar -C "$2" -xf - &&
    for d in system32 syswow64; do
      [ ! -d "$1/drive_c/windows/$d" ] || cp -al "$1/drive_c/windows/$d" "$2/drive_c/windows/" || return
    done
}

# A program of the user's in the prefix, on the user's display, until the case ends.
start_user_program() {
  wine notepad </dev/null >/dev/null 2>&1 &
  echo $! >>"$user_programs"
  timeout 30 xdotool search --sync --name Notepad >/dev/null || echo "the user's notepad did not start"
}

# How each case starts the command; its output is what the case reads.
run() { env -u DISPLAY timeout -k 5 120 "$root/scripts/run.sh" "$exe" --screenshot "$work/shot.png" "$@"; }
run_c_tmpdir() { mkdir -p "$work/tmp-é" && TMPDIR=$work/tmp-é LC_ALL=C run; }
run_relative() { (cd "$WINEPREFIX/.." && WINEPREFIX=${WINEPREFIX##*/} run); }
run_no_display() { DISPLAY=:4711 timeout -k 5 120 "$root/scripts/run.sh" "$exe"; }
run_via_link() {
  start_user_program
  ln -s "$WINEPREFIX" "$WINEPREFIX.link"
  WINEPREFIX=$WINEPREFIX.link run
}
# A prefix in use whose server has not yet saved its registry: as one made
# moments ago, with no system.reg; put back afterwards.
run_unsaved() {
  local got
  start_user_program
  mv "$WINEPREFIX/system.reg" "$work/system.reg.unsaved"
  run; got=$?
  mv "$work/system.reg.unsaved" "$WINEPREFIX/system.reg"
  return "$got"
}
run_joined() {
  local run _
  run & run=$!
  wait_until 30 server_running "$WINEPREFIX"
  start_user_program
  wait "$run"
}
run_twice() {
  local first status
  run & first=$!
  run --screenshot "$work/shot2.png"; status=$?
  wait "$first" && return "$status"
}
# The pictures' values go into a prefix of their own, never into the plain
# run's: the user's prefix, made into one of the project's as wine-prefix.sh
# leaves it (marked, Managed=N, no settings for Osprel), stands where run.sh
# looks for the plain run's prefix, under a source tree of links, and must
# be as it was; a copy stands in for the pictures'.
as_project() {
  touch .osprel-made .osprel-ready .osprel-any-script-font
  { wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
    wine reg delete 'HKCU\Software\Wine\AppDefaults\Osprel.exe' /f; } >/dev/null 2>&1
}
long_values() {
  local tree=$work/tree
  mkdir -p "$tree/build" && ln -sfn "$root/scripts" "$tree/scripts" &&
    ln -sfn "$WINEPREFIX" "$tree/build/wineprefix-run" &&
    copy_prefix "$WINEPREFIX" "$tree/build/wineprefix-run-long" || return
  env -u DISPLAY -u WINEPREFIX timeout -k 5 120 "$tree/scripts/run.sh" "$exe" --screenshot "$work/shot.png" \
    --long-values
}
# Wine's show_rows.exe cannot start: what Wine said, and why the run ends.
run_show_rows_fails() {
  # shellcheck disable=SC2016 # the stand-in's own text: its shell expands it
  mkdir -p "$work/shim" &&
    printf '#!/bin/sh\ncase "$*" in *show_rows.exe*) echo "wine: Bad EXE format for $1." >&2; exit 1 ;; esac\nexec %s "$@"\n' \
      "$(command -v wine)" >"$work/shim/wine" &&
    chmod +x "$work/shim/wine" && PATH=$work/shim:$PATH run
}
# A 32-bit prefix whose registry files lack their #arch line, as older Wine
# wrote them: its missing 64-bit system (syswow64) tells.
drop_arch() { sed -i '/^#arch=/d' system.reg user.reg userdef.reg; }
# A TMPDIR that is not there, or whose file system is full (a small one of
# the test's own, which only root can mount).
run_tmpdir_absent() { TMPDIR=$work/absent run; }
# A small file system of the test's own, filled: only root can mount one.
# Status 77 says the case was skipped, and why.
on_full_disk() {   # COMMAND...
  local full=$work/full status
  [ "$(id -u)" = 0 ] || { echo "only root mounts a small file system"; return 77; }
  mkdir -p "$full" && mount -t tmpfs -o size=16k tmpfs "$full" || return
  head -c 1M /dev/zero >"$full/filler" 2>/dev/null
  "$@" "$full"
  status=$?
  umount "$full"
  return "$status"
}
run_tmpdir_full() { on_full_disk run_in_tmpdir; }
run_in_tmpdir() { TMPDIR=$1 run; }
prepare_full() { on_full_disk prepare_in; }
# Wine's server folder goes into a TMPDIR of the test's own: on a full disk
# Wine cannot write its name into the prefix, and nothing could find it.
prepare_in() {
  local status=0
  mkdir -p "$work/tmp-full" && TMPDIR=$work/tmp-full timeout 60 scripts/wine-prefix.sh "$1/prefix" || status=$?
  echo "left in the prefix: [$(find "$1/prefix" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' ')]"
  return "$status"
}
# with-display.sh killed outright: its display and window manager end with it.
display_up() { pgrep -P "$1" -x Xvfb >/dev/null && pgrep -P "$1" -x openbox >/dev/null; }   # PID
none_of() { ! ps -p "$1" >/dev/null; }   # PID,...
display_killed() {
  local wd children listed command
  # Its own TMPDIR: killed, it cannot remove its files there.
  mkdir -p "$work/tmp-killed" || return
  TMPDIR=$work/tmp-killed env -u DISPLAY "$root/scripts/with-display.sh" --window-manager sleep 60 \
    </dev/null >/dev/null 2>&1 &
  wd=$!
  wait_until 60 display_up "$wd"
  pgrep -P "$wd" -x Xvfb >/dev/null || { echo "no display started"; return 1; }
  mapfile -t children < <(pgrep -P "$wd" -x 'Xvfb|openbox')
  listed=$(IFS=,; echo "${children[*]}")
  command=$(pgrep -P "$wd" -x sleep)
  kill -KILL "$wd"
  [ -z "$command" ] || kill "$command"
  if wait_until 10 none_of "$listed"; then echo "display ended"; return 0; fi
  echo "left running: $(ps -o comm= -p "$listed" | tr '\n' ' ')"
  kill "${children[@]}" 2>/dev/null
  return 1
}
# wine-prefix.sh killed outright while Wine makes a prefix of the project's:
# Wine's processes, still running, do not hold its lock, and the next one
# says why it makes the prefix anew (stopped once it has said so).
prepare_killed() {
  local made=$work/made-here free=""
  scripts/wine-prefix.sh "$made" >/dev/null 2>&1 &
  wait_until 120 server_running "$made"
  kill -KILL $!
  wait $! 2>/dev/null   # the lock is free once the killed one is gone, not before
  flock -n "$made/.osprel-lock" true && free=1 || echo "the lock is held by what the killed one started"
  (timeout -s KILL 20 scripts/wine-prefix.sh "$made" 2>&1 | grep -m 1 anew) </dev/null
  # The killed ones' wineboot may start a server again until it is gone too.
  WINEPREFIX=$made timeout 20 wineserver -k
  wait_until 20 none_in "$made"
  forget_server "$made"
  rm -rf "$made"
  [ -n "$free" ]
}
# Whether a process still runs in PREFIX (Wine's processes name it only in
# their environment).
runs_in() { grep -lsz "^WINEPREFIX=$1\$" /proc/[0-9]*/environ >/dev/null; }
none_in() { ! runs_in "$1"; }
all_ended() { wait_until 5 none_in "$1" && echo "nothing left running" || echo "left running in $1"; }
# Ctrl+C as a terminal sends it: to a whole process group, here the run's
# own, with INT's default action (a background job's shell ignores it).
in_own_group() {
  exec python3 -c 'import os, signal, sys
os.setsid(); signal.signal(signal.SIGINT, signal.SIG_DFL); os.execvp(sys.argv[1], sys.argv[1:])' "$@"
}
# Ends the job PID by SIGNAL (to its group where asked), and says how soon.
stop_job() {   # PID SIGNAL [group]
  local started=$SECONDS status
  kill -s "$2" -- "${3:+-}$1"
  wait "$1"; status=$?
  echo "status $status $([ $((SECONDS - started)) -le 15 ] && echo within || echo after) 15 s"
}
# Ctrl+C while make run's prefix is made: the run ends, nothing of it runs on
# and no picture is taken; the next run makes the prefix anew.
interrupted_while_made() {
  local tree=$work/tree-interrupted run
  local made=$tree/build/wineprefix-run
  mkdir -p "$tree/build" && ln -sfn "$root/scripts" "$tree/scripts" || return
  in_own_group env -u DISPLAY -u WINEPREFIX "$tree/scripts/run.sh" "$exe" --screenshot "$work/interrupted.png" &
  run=$!
  wait_until 120 server_running "$made" || echo "no prefix was being made"
  stop_job "$run" INT group
  all_ended "$made"
  [ -e "$work/interrupted.png" ] && echo "a picture was taken" || echo "no picture"
  (timeout -s KILL 60 scripts/wine-prefix.sh "$made" 2>&1 | grep -m 1 anew) </dev/null
  WINEPREFIX=$made timeout 20 wineserver -k
  wait_until 20 none_in "$made"
  forget_server "$made"
}
# make test stopped by TERM (make hands it to with-display.sh, which runs the
# tests): this very test, stopped while it makes a user's prefix, leaves no
# folder and nothing running.
test_terminated() {
  local before folder run
  before=$(ls -d "$root"/build/user-prefix-test.*)
  env -u DISPLAY "$root/scripts/with-display.sh" "$0" "$exe" "tests' runner" </dev/null >/dev/null 2>&1 &
  run=$!
  # shellcheck disable=SC2317 # run by wait_until below
  its_folder() {
    for folder in "$root"/build/user-prefix-test.*; do
      grep -qxF "$folder" <<<"$before" || return 0
    done
    false
  }
  wait_until 60 its_folder && wait_until 120 server_running "$folder/win64" ||
    echo "the test made no user's prefix"
  stop_job "$run" TERM
  [ -e "$folder" ] && echo "left behind: $folder" || echo "its folder gone"
  all_ended "$folder/win64"
}
prepare() { timeout 60 scripts/wine-prefix.sh "$WINEPREFIX"; }
tests_runner() { OSPREL_TEST_WINEPREFIX=$WINEPREFIX timeout 60 cmake/wine-run.sh cmd /c exit; }
bench() { BENCH_PREFIX=$WINEPREFIX timeout 60 bench/run.sh; }

rows="System Root *C:.windows"
# name | the user's prefix (win64, win32) | what the user did to it first | command | status | what
# its output holds (the rows, unless a message says more: the server was found, or left running)
cases=(
  "make run, headless, a lower-case managed among the values|win64|:|run|0|$rows"
  "make run, the prefix without its Z: drive|win64|rm dosdevices/z:|run|2|has no Z: drive"
  "make run, a non-ASCII TMPDIR in the C locale|win64|:|run_c_tmpdir|0|$rows"
  "make run, WINEPREFIX a symbolic link while a user's program runs|win64|:|run_via_link|0|already runs for"
  "make run, a prefix in use whose server has not yet saved system.reg|win64|:|run_unsaved|0|$rows"
  "make run, a user's program joins the run's server|win64|:|run_joined|0|did not start; it is left"
  "make run, two at once in one prefix|win64|:|run_twice|0|$rows"
  "make run, a relative WINEPREFIX|win64|:|run_relative|2|relative path"
  "make run, the 64-bit program in a 32-bit prefix|win32|:|run|2|ARCH=win32"
  "make run, a DISPLAY that is not there|win64|:|run_no_display|2|DISPLAY=:4711 cannot be opened"
  "make run, WINEPREFIX a folder of a user's that is no prefix|home|:|run|2|is not a Wine prefix"
  "make run, a TMPDIR that is not there|win64|:|run_tmpdir_absent|1|TMPDIR=.*absent: mktemp"
  "make run, a full TMPDIR|win64|:|run_tmpdir_full|1|cannot be written: No space left"
  "make run's display, killed outright: Xvfb and openbox end|win64|:|display_killed|0|display ended"
  "wine-prefix.sh killed while Wine makes a project prefix|win64|:|prepare_killed|0|did not finish.*anew"
  "make run --long-values: the values in a prefix of their own, the plain run's as it was|win64|as_project|long_values|0|Registered Organisation *Example Pharmaceuticals"
  "make run, show_rows.exe cannot start: Wine's words and run.sh's|win64|:|run_show_rows_fails|1|Bad EXE format.*could not read Osprel's rows"
  "make run, a 32-bit prefix whose registry has no #arch line|win32|drop_arch|run|2|ARCH=win32"
  "wine-prefix.sh on a full disk: the cause named, nothing half-made|win64|:|prepare_full|1|holding it is full.*left in the prefix: \\[.osprel-lock .osprel-made \\]"
  "make run, Ctrl+C while its prefix is made: it ends, made anew next time|win64|:|interrupted_while_made|0|status 130 within 15 s.nothing left running.no picture.*did not finish.*anew"
  "make test, TERM while this test makes a user's prefix: nothing left|win64|:|test_terminated|0|status 143 within 15 s.its folder gone.nothing left running"
  "wine-prefix.sh|win64|:|prepare|3|$refused"
  "tests' runner|win64|:|tests_runner|3|$refused"
  "bench|win64|:|bench|3|$refused"
)

failures=0 skipped=0 n=0
for c in "${cases[@]}"; do
  IFS='|' read -r name arch setup command status expected <<<"$c"
  [[ $name == *"$only"* ]] || continue
  [ -d "$work/$arch" ] || make_user_prefix "$work/$arch" "$arch" || { echo "FAIL wineboot of a $arch prefix"; exit 1; }
  n=$((n + 1))
  copy=$work/case$n
  wine_env "$copy"
  copy_prefix "$work/$arch" "$copy" || { echo "FAIL $name: no copy of the prefix"; exit 1; }
  [ "$setup" = : ] || { (cd "$WINEPREFIX" && $setup) && state >/dev/null; }   # Wine's writes on meeting the change
  before=$(state)
  : >"$user_programs"
  # Into a file: a process left running with the output's pipe would hold the test.
  (cd "$root" && $command) </dev/null >"$work/output" 2>&1; got=$?
  output=$(cat "$work/output")
  if [ "$got" = 77 ]; then
    echo "skip $name: $output"
    skipped=$((skipped + 1))
    WINEPREFIX=$copy timeout 20 wineserver -k 2>/dev/null
    discard "$copy"
    continue
  fi
  problem=""
  [ "$got" = "$status" ] || problem="status $got, expected $status;"
  grep -qz "$expected" <<<"$output" || problem+=" output lacks \"$expected\";"
  while read -r p; do
    kill -0 "$p" 2>/dev/null || problem+=" the user's program (process $p) was ended;"
    kill "$p" 2>/dev/null
  done <"$user_programs"
  [ ! -s "$user_programs" ] || timeout 30 wineserver -w || problem+=" the user's server did not end;"
  after=$(state)
  [ "$after" = "$before" ] || problem+=" prefix changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
  if [ -n "$problem" ]; then
    printf 'FAIL %s: %s\n%s\n' "$name" "$problem" "$output" | head -40
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
  WINEPREFIX=$copy timeout 20 wineserver -k 2>/dev/null
  discard "$copy" "$copy.link"
done
if [ "$(listing "$callers" 2>&1)" != "$callers_before" ]; then
  echo "FAIL the caller's own prefix setting was written: $(listing "$callers" 2>&1)"
  failures=$((failures + 1))
fi
echo "$((n - failures - skipped)) passed, $failures failed, $skipped skipped"
[ "$failures" = 0 ]
