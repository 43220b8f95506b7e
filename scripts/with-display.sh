#!/usr/bin/env bash
# Runs a command with an X display: the caller's when DISPLAY is set, else a
# private Xvfb, stopped after it.
#   with-display.sh [--prefix WINEPREFIX] [--window-manager] COMMAND [ARGS...]
# --window-manager: openbox too, for captions and focus as on a desktop.
# --prefix: one command at a time in that prefix (its programs share one Wine
# desktop), through a lock on its folder held by this script alone. A server
# the command started is given time to end; one still running then is stopped
# in a project prefix and left in a user's; one that ran before is never
# stopped. Ctrl+C, TERM, HUP and an end stop the command, that server, then
# the display.
set -uo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

prefix="" window_manager=""
[ "${1:-}" != --prefix ] || { prefix=$2; shift 2; }
[ "${1:-}" != --window-manager ] || { window_manager=1; shift; }
if [ -n "${DISPLAY:-}" ]; then exec "$@"; fi

lock=""
if [ -d "$prefix" ]; then
  exec {lock}<"$prefix"
  flock -w 120 "$lock" || { echo "with-display.sh: another run in $prefix did not end within two minutes" >&2; exit 75; }
fi
# Started only in the background: the job's shell drops the lock and becomes the command.
closed() { [ -z "$lock" ] || exec {lock}<&-; exec "$@"; }

ours=""   # the prefix, where its server is this run's
if [ -n "$prefix" ] && server_running "$prefix"; then
  echo "with-display.sh: a Wine server already runs for $prefix; it is left running, with its" \
       "programs (a server whose first program had no display gives none to later ones)" >&2
elif [ -n "$prefix" ]; then
  ours=$(realpath -m -- "$prefix")
fi

# The display's number, the logs and openbox's settings; a TMPDIR that cannot
# be written is named.
if ! scratch=$(mktemp -d 2>&1) || [ ! -d "$scratch" ]; then
  echo "with-display.sh: no folder for the virtual display's files in TMPDIR=${TMPDIR:-/tmp}: $scratch" >&2
  exit 1
fi
number_file=$scratch/display xvfb_log=$scratch/xvfb.log wm_log=$scratch/openbox.log
xvfb="" wm="" command=""

# The command and all it started: timeout and setsid put some of it in
# process groups of their own. It gets ten seconds to clean up.
process_tree() {   # PID
  local child
  echo "$1"
  for child in $(pgrep -P "$1"); do process_tree "$child"; done
}
all_gone() { ! kill -0 "$@" 2>/dev/null; }   # PID...
stop_command() {
  local tree
  mapfile -t tree < <(process_tree "$command")
  kill -TERM -- "-$command" "${tree[@]}" 2>/dev/null
  wait_until 10 all_gone "${tree[@]}"
  kill -KILL -- "-$command" "${tree[@]}" 2>/dev/null
}
# Wine's services end a few seconds after the last program; an interrupted
# run's project prefix is not waited for.
stop_server() {   # interrupted|ended
  [ -n "$ours" ] && [ -d "$ours" ] || return 0
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
stop() { [ -z "$1" ] || { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }; }   # PID
finish() {
  local rc=$? how=ended
  trap - EXIT INT TERM HUP
  if [ -n "$command" ] && kill -0 "$command" 2>/dev/null; then
    how=interrupted
    stop_command
  fi
  stop_server "$how"
  stop "$wm"
  stop "$xvfb"
  rm -rf "$scratch"
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT; trap 'exit 143' TERM; trap 'exit 129' HUP

not_started() {   # NAME [WHY]
  local log
  echo "with-display.sh: $1 did not start${2:+: $2}" >&2
  for log in "$xvfb_log" "$wm_log"; do
    [ ! -s "$log" ] || { echo "--- ${log##*/}, its last lines:"; tail -n 8 "$log"; } >&2
  done
  exit 1
}

# Xvfb picks a free display itself and writes its number to fd 3: no race
# with other runs. -noreset: else it resets when its last client leaves and
# turns the next one away. Xvfb and openbox end with this script, even when
# it is killed outright (--pdeathsig).
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
answers() { DISPLAY=$display timeout 5 xdpyinfo >/dev/null 2>&1; }
wait_until 30 answers || not_started Xvfb "display $display did not accept a client within 30 s"

if [ -n "$window_manager" ]; then
  closed setpriv --pdeathsig TERM env DISPLAY="$display" XDG_CACHE_HOME="$scratch" XDG_CONFIG_HOME="$scratch" \
    openbox --sm-disable >"$wm_log" 2>&1 &
  wm=$!
  wm_ended() { ! kill -0 "$wm" 2>/dev/null; }
  shown_or_ended() {
    wm_ended || DISPLAY=$display timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
  }
  wait_until 30 shown_or_ended || not_started "the window manager (openbox)" "it did not show within 30 s"
  ! wm_ended || not_started "the window manager (openbox)" "it ended"
fi

# In a process group of its own, so that all it started can be stopped; a
# wait, unlike the foreground, lets the traps run. Its status is the script's.
run_command() {
  local rc=0
  closed env DISPLAY="$display" setsid "$@" &
  command=$!
  wait "$command" || rc=$?
  command=""
  return $rc
}
run_command "$@"
