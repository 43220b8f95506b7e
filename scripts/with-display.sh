#!/usr/bin/env bash
# Runs a command with an X display: the caller's own when DISPLAY is set,
# otherwise a private Xvfb started for the command and stopped after it.
#   with-display.sh [--prefix WINEPREFIX] [--window-manager] COMMAND [ARGS...]
# --window-manager also starts a window manager (openbox) on the private
# display, which gives windows a caption and the focus as on a desktop.
# A named prefix whose Wine server was not running before is the command's:
# when the command has ended, its server is given time to end by itself, so
# that no Wine process outlives the display it was drawing on. A server that
# still runs then serves programs the command did not start: in a prefix this
# project made it is stopped, in anyone else's it is left running. A server
# that was running before is someone else's and is never stopped.
# One command at a time in the named prefix: every program of a prefix's server
# is on one Wine desktop, and a second run would find the first one's
# windows. The lock is on the prefix's folder (nothing is written there),
# held by this script alone, never by the Wine server, which may outlive it.
# Ctrl+C, TERM (a CI timeout), HUP and a normal end all stop the command, then
# the server as above, then the window manager and Xvfb.
set -uo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

prefix="" window_manager=""
while :; do
  case ${1:-} in
    --prefix) prefix=$2; shift 2 ;;
    --window-manager) window_manager=1; shift ;;
    *) break ;;
  esac
done

if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi

lock=""
if [ -d "$prefix" ]; then
  exec {lock}<"$prefix"
  if ! flock -w 120 "$lock"; then
    echo "with-display.sh: another run in $prefix did not end within two minutes" >&2
    exit 75
  fi
fi
# The commands below do not get the lock's descriptor. Only ever started in
# the background: the job's own shell closes it and becomes the command.
closed() { [ -z "$lock" ] || exec {lock}<&-; exec "$@"; }

ours=""   # the prefix, where its server is this run's
if [ -n "$prefix" ] && server_running "$prefix"; then
  echo "with-display.sh: a Wine server already runs for $prefix; it is left running, with its" \
       "programs (a server whose first program had no display gives none to later ones)" >&2
elif [ -n "$prefix" ]; then
  ours=$(realpath -m -- "$prefix")
fi

xvfb="" wm="" command=""
# The display's number file and the window manager's settings. A TMPDIR that
# is not there or cannot be written is named, rather than leaving the path empty.
if ! scratch=$(mktemp -d 2>&1) || [ ! -d "$scratch" ]; then
  echo "with-display.sh: no folder for the virtual display's files in TMPDIR=${TMPDIR:-/tmp}: $scratch" >&2
  exit 1
fi
# The command and all it started that still runs: timeout and setsid put
# some of it in process groups of their own, which the group's signal misses.
process_tree() {   # PID
  local child
  echo "$1"
  for child in $(pgrep -P "$1"); do process_tree "$child"; done
}
# The command may be cleaning up (a test deletes its folders): it gets ten
# seconds for that before it and the rest are killed.
stop_command() {
  local tree
  mapfile -t tree < <(process_tree "$command")
  kill -TERM -- "-$command" "${tree[@]}" 2>/dev/null
  wait_until 10 all_gone "${tree[@]}"
  kill -KILL -- "-$command" "${tree[@]}" 2>/dev/null
}
all_gone() { ! kill -0 "$@" 2>/dev/null; }   # PID...
stop_server() {   # interrupted|ended
  [ -n "$ours" ] && [ -d "$ours" ] || return 0
  # Wine's own services end a few seconds after the last program; an
  # interrupted run's project prefix is not waited for.
  if [ "$1" = ended ] || ! project_prefix "$ours"; then
    WINEPREFIX=$ours timeout 15 wineserver -w >/dev/null 2>&1 && return 0
  fi
  server_running "$ours" || return 0
  if project_prefix "$ours"; then
    WINEPREFIX=$ours wineserver -k >/dev/null 2>&1
  else
    echo "with-display.sh: the Wine server of $ours serves programs this run did not start;" \
         "it is left running" >&2
  fi
}
finish() {
  local rc=$? how=ended
  trap - EXIT INT TERM HUP
  if [ -n "$command" ] && kill -0 "$command" 2>/dev/null; then
    how=interrupted
    stop_command
  fi
  stop_server "$how"
  [ -z "$wm" ] || { kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; }
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  rm -rf "$scratch"
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Ends the run: NAME did not start. Both logs are shown, Xvfb's and the
# window manager's, with what else is known (MORE).
not_started() {   # NAME [MORE]
  local log
  echo "with-display.sh: $1 did not start${2:+: $2}" >&2
  for log in "$xvfb_log" "$wm_log"; do
    [ -s "$log" ] || continue
    echo "--- ${log##*/}, its last lines:" >&2
    tail -n 8 "$log" >&2
  done
  exit 1
}

# Xvfb picks a free display number itself and writes it to fd 3: no race
# with other runs starting at the same moment. Without -noreset it would
# reset itself whenever its last client leaves, and a client connecting then
# (the window manager after the check below) is turned away. The display and
# the window manager end with this script, even when it is killed outright
# (--pdeathsig: the kernel signals them when their parent ends).
number_file=$scratch/display xvfb_log=$scratch/xvfb.log wm_log=$scratch/openbox.log
closed setpriv --pdeathsig TERM Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp \
  3>"$number_file" >"$xvfb_log" 2>&1 &
xvfb=$!
numbered() { [ -s "$number_file" ] || ! kill -0 "$xvfb" 2>/dev/null; }
wait_until 30 numbered
display=":$(tr -d '\n' <"$number_file")"
if [ "$display" = ":" ]; then
  # A full file system takes the number file, Xvfb's words, or both.
  full=$( { echo probe >"$scratch/probe"; } 2>&1) || full="$scratch cannot be written: ${full##*: }"
  kill -0 "$xvfb" 2>/dev/null && ended="it gave no display number within 30 s" || ended="it ended"
  not_started Xvfb "${full:-$ended}"
fi
# Only a display that answers is handed on.
answers() { DISPLAY=$display timeout 5 xdpyinfo >/dev/null 2>&1; }
wait_until 30 answers || not_started Xvfb "display $display did not accept a client within 30 s"

if [ -n "$window_manager" ]; then
  # Its log and settings in a folder of the run's own, not the user's home.
  closed setpriv --pdeathsig TERM env DISPLAY="$display" XDG_CACHE_HOME="$scratch" XDG_CONFIG_HOME="$scratch" \
    openbox --sm-disable >"$wm_log" 2>&1 &
  wm=$!
  # It shows within a second; on a busy machine it may take longer. The wait
  # ends early where it ended.
  shown_or_ended() {
    ! kill -0 "$wm" 2>/dev/null ||
      DISPLAY=$display timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
  }
  wait_until 30 shown_or_ended || not_started "the window manager (openbox)" "it did not show within 30 s"
  kill -0 "$wm" 2>/dev/null || not_started "the window manager (openbox)" "it ended"
fi

# In a process group of its own, so that all it started can be stopped at
# once; the wait, unlike a command in the foreground, lets the traps run. Its
# status is the script's.
run_command() {
  local rc=0
  closed env DISPLAY="$display" setsid "$@" &
  command=$!
  wait "$command" || rc=$?
  command=""
  return $rc
}
run_command "$@"
