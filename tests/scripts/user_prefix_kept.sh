#!/usr/bin/env bash
# A user's own Wine prefix (made by wineboot, with a file and registry values
# of its own) named to each project command that takes a prefix: the commands
# that prepare and write theirs refuse it, `make run` uses it, and afterwards
# its files and the registry keys the project writes are as they were.
#   user_prefix_kept.sh OSPREL_EXE   (show_rows.exe beside it, in tools/)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(realpath "${1:?usage: user_prefix_kept.sh OSPREL_EXE}")
mkdir -p "$root/build"
work=$(mktemp -d "$root/build/user-prefix-test.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT INT TERM
refused="is not a Wine prefix this project made"

# name | command (run from the source tree) | what its output must hold; status 0 only with "rows"
cases=(
  "wine-prefix.sh|scripts/wine-prefix.sh $WINEPREFIX|$refused"
  "tests' runner|env OSPREL_TEST_WINEPREFIX=$WINEPREFIX cmake/wine-run.sh cmd /c exit|$refused"
  "bench|env BENCH_PREFIX=$WINEPREFIX bench/run.sh|$refused"
  "make run, headless|env -u DISPLAY scripts/run.sh $exe --screenshot $work/shot.png|System Root *C:.windows"
)

# Files, the user's file's text, and the keys the project's scripts write.
state() {
  local key
  (cd "$WINEPREFIX" && find . ! -name '*.reg' | sort && cat drive_c/users/Public/Documents/keep.txt)
  for key in 'HKCU\Software\Wine\AppDefaults' 'HKCU\Software\Wine\X11 Driver' 'HKCU\Control Panel\Desktop' \
             'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'; do
    env -u DISPLAY wine reg export "$key" "Z:${work//\//\\}\\key.reg" /reg:64 /y >/dev/null 2>&1 &&
      iconv -f UTF-16 -t UTF-8 "$work/key.reg" || echo "no $key"
  done
  wineserver -w   # a later program must find no server started without a display
}

env -u DISPLAY wineboot -i >/dev/null 2>&1
echo "a user's own file" >"$WINEPREFIX/drive_c/users/Public/Documents/keep.txt"
# Values of the user's own where `make run` sets one of its own, of a type it does not use.
wine reg add 'HKCU\Software\Wine\AppDefaults\Osprel.exe\X11 Driver' /v Managed /t REG_EXPAND_SZ /d Y /f >/dev/null
wine reg add 'HKCU\Software\Wine\AppDefaults\Osprel.exe\X11 Driver' /v Keep /t REG_BINARY /d 0102 /f >/dev/null
state >/dev/null   # Wine's own first-start writes (network cards, fonts) land here
before=$(state)

failures=0
for c in "${cases[@]}"; do
  IFS='|' read -r name command expected <<<"$c"
  output=$(cd "$root" && $command 2>&1); status=$?
  after=$(state)
  problem=""
  if [[ $expected == System* ]]; then [ $status = 0 ] || problem="status $status"
  else [ $status != 0 ] || problem="status 0, expected a refusal"; fi
  grep -q "$expected" <<<"$output" || problem+=" output lacks \"$expected\""
  [ "$after" = "$before" ] || problem+=" prefix changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
  if [ -n "$problem" ]; then
    echo "FAIL $name: $problem"$'\n'"$output" | head -40
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
done
exit $((failures > 0))
