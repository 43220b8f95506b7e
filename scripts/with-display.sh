#!/usr/bin/env bash
# Runs a command with an X display: the caller's own when DISPLAY is set,
# otherwise a private Xvfb started for the command and stopped after it.
#   with-display.sh [--prefix WINEPREFIX]... [--window-manager] COMMAND [ARGS...]
# --window-manager also starts a window manager (openbox) on the private
# display, which gives windows a caption and the focus as on a desktop.
# A named prefix whose Wine server was not running before is the command's:
# when the command has ended, its server is given time to end by itself, so
# that no Wine process outlives the display it was drawing on. A server that
# still runs then serves programs the command did not start: in a prefix this
# project made it is stopped, in anyone else's it is left running. A server
# that was running before is someone else's and is never stopped.
# One command at a time per named prefix: every program of a prefix's server
# is on one Wine desktop, and a second run would find the first one's
# windows. The lock is on the prefix's folder (nothing is written there),
# held by this script alone, never by the Wine server, which may outlive it.
# Ctrl+C, TERM (a CI timeout) and a normal end all stop the command, then
# the servers as above, then the window manager and Xvfb.
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"

prefixes=() window_manager=""
while :; do
  case ${1:-} in
    --prefix) prefixes+=("$2"); shift 2 ;;
    --window-manager) window_manager=1; shift ;;
    *) break ;;
  esac
done

if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi

locks=()
for p in "${prefixes[@]}"; do
  [ -d "$p" ] || continue
  exec {fd}<"$p"
  locks+=("$fd")
  if ! flock -w 120 "$fd"; then
    echo "with-display.sh: another run in $p did not end within two minutes" >&2
    exit 75
  fi
done
# The commands below get none of the locks' descriptors. Only ever started in
# the background: the job's own shell closes them and becomes the command.
closed() { local fd; for fd in "${locks[@]}"; do exec {fd}<&-; done; exec "$@"; }

ours=()
for p in "${prefixes[@]}"; do
  if server_running "$p"; then
    echo "with-display.sh: a Wine server already runs for $p; it is left running, with its" \
         "programs (a server whose first program had no display gives none to later ones)" >&2
  else
    ours+=("$(realpath -m -- "$p")")
  fi
done

xvfb="" wm="" command=""
# The display's number file and the window manager's settings. A TMPDIR that
# is not there or cannot be written is named, rather than leaving the path empty.
if ! scratch=$(mktemp -d 2>&1) || [ ! -d "$scratch" ]; then
  echo "with-display.sh: no folder for the virtual display's files in TMPDIR=${TMPDIR:-/tmp}: $scratch" >&2
  exit 1
fi
stop_servers() {
  local p
  for p in "${ours[@]}"; do
    [ -d "$p" ] || continue
    # Wine's own services end a few seconds after the last program.
    WINEPREFIX=$p timeout 15 wineserver -w >/dev/null 2>&1 && continue
    server_running "$p" || continue
    if project_prefix "$p"; then
      WINEPREFIX=$p wineserver -k >/dev/null 2>&1
    else
      echo "with-display.sh: the Wine server of $p serves programs this run did not start;" \
           "it is left running" >&2
    fi
  done
}
finish() {
  local rc=$? _
  trap - EXIT INT TERM
  if [ -n "$command" ] && kill -0 "$command" 2>/dev/null; then
    # The command may be putting things back (run.sh restores registry
    # values): it gets time for that before its server goes.
    kill -TERM -- "-$command" 2>/dev/null
    for _ in $(seq 100); do kill -0 "$command" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- "-$command" 2>/dev/null
  fi
  stop_servers
  [ -z "$wm" ] || { kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; }
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  rm -rf "$scratch"
  exit $rc
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Ends the run: NAME did not start, with the last words of its LOG and what
# else is known (MORE).
not_started() {   # NAME LOG [MORE]
  local why
  why=$(tail -n 5 "$2" 2>/dev/null)
  [ -z "${3:-}" ] || why+=${why:+$'\n'}$3
  echo "with-display.sh: $1 did not start${why:+:$'\n'$why}" >&2
  exit 1
}

# Xvfb picks a free display number itself and writes it to fd 3: no race
# with other runs starting at the same moment. The display and the window
# manager end with this script, even when it is killed outright
# (--pdeathsig: the kernel signals them when their parent ends).
number_file=$scratch/display xvfb_log=$scratch/xvfb.log
closed setpriv --pdeathsig TERM Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" \
  >"$xvfb_log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$number_file" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
display=":$(tr -d '\n' <"$number_file")"
if [ "$display" = ":" ]; then
  # A full file system takes the number file, Xvfb's words, or both.
  full=$( { echo probe >"$scratch/probe"; } 2>&1) || full="$scratch cannot be written: ${full##*: }"
  not_started Xvfb "$xvfb_log" "$full"
fi

if [ -n "$window_manager" ]; then
  # Its log and settings in a folder of the run's own, not the user's home.
  closed setpriv --pdeathsig TERM env DISPLAY="$display" XDG_CACHE_HOME="$scratch" XDG_CONFIG_HOME="$scratch" \
    openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
  wm=$!
  # It shows within a second; on a busy machine it may take longer than a few.
  for _ in $(seq 300); do
    DISPLAY=$display timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.05
  done
  if ! DISPLAY=$display timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    kill -0 "$wm" 2>/dev/null && ended="" || ended="it ended"
    not_started "the window manager (openbox)" "$scratch/openbox.log" "$ended"
  fi
fi

# In a process group of its own, so that all it started can be stopped at
# once; the wait, unlike a command in the foreground, lets the traps run.
closed env DISPLAY="$display" setsid "$@" &
command=$!
wait "$command"
rc=$?
command=""
exit $rc
