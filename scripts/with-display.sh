#!/usr/bin/env bash
# Runs a command with an X display: the caller's own when DISPLAY is set,
# otherwise a private Xvfb started for the command and stopped after it.
# Wine servers started on a private display are stopped with it, so that no
# Wine process outlives the display it was drawing on; a prefix's server that
# was running before is someone else's and is left alone.
# Ctrl+C, TERM (a CI timeout) and a normal end all stop the command, the
# servers and Xvfb.
#   with-display.sh [--prefix WINEPREFIX]... COMMAND [ARGS...]
set -uo pipefail

prefixes=()
while [ "${1:-}" = --prefix ]; do prefixes+=("$2"); shift 2; done

if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi

# A Wine server works in a folder named after its prefix's device and inode.
server_running() {   # PREFIX
  local id pid
  id=$(stat -c '%d %i' "$1" 2>/dev/null) || return 1
  id=$(printf 'server-%x-%x' $id)
  for pid in $(pgrep -u "$(id -u)" wineserver); do
    [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$id" ] && return 0
  done
  return 1
}
ours=()
for p in "${prefixes[@]}"; do
  if server_running "$p"; then
    echo "with-display.sh: a Wine server already runs for $p; it is left running, and" \
         "its programs draw on the display its first one found (none, if it had none)" >&2
  else
    ours+=("$p")
  fi
done

xvfb="" command=""
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
  for p in "${ours[@]}"; do
    [ -d "$p" ] && WINEPREFIX=$(cd "$p" && pwd) wineserver -k >/dev/null 2>&1
  done
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  exit $rc
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Xvfb picks a free display number itself and writes it to fd 3: no race
# with other runs starting at the same moment.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$number_file" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
display=":$(tr -d '\n' <"$number_file")"
rm -f "$number_file"
if [ "$display" = ":" ]; then
  echo "with-display.sh: Xvfb did not start" >&2
  exit 1
fi

# In a process group of its own, so that all it started can be stopped at
# once; the wait, unlike a command in the foreground, lets the traps run.
DISPLAY=$display setsid "$@" &
command=$!
wait "$command"
rc=$?
command=""
exit $rc
