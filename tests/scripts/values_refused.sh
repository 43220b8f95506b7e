#!/usr/bin/env bash
# The values a user passes, refused before anything is done: make's goals
# given an ARCH, DPI, BENCH_RUNS or BENCH_CPU they do not take, and the
# scripts given a relative prefix that starts with a dash (no option for
# realpath). Each case runs in a tree of links to the source, with stand-ins
# first on PATH for whatever would do work (packages, builds, Wine), which
# record being called. A refused value ends with its status and words, calls
# none of them and leaves no build/ tree, no prefix and the user's folder as
# it was; a value at the edge of what is taken reaches the work.
#   values_refused.sh [NAME-FILTER]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
filter=${1:-}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

tree=$work/tree
mkdir "$tree" "$work/bin" "$work/binfmt"
for name in Makefile CMakePresets.json scripts cmake bench; do ln -s "$root/$name" "$tree/$name"; done
calls=$work/calls
for name in apt-get sudo dpkg dpkg-query cmake ctest wine wineboot wineserver Xvfb; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\nexit 1\n' "$name" "$calls" >"$work/bin/$name"
  chmod +x "$work/bin/$name"
done
# Wine's 32-bit loader runs here, whatever this machine's: its state is not asked.
printf '#!/bin/sh\necho wine-8.0\n' >"$work/loader-runs" && chmod +x "$work/loader-runs"
python3 - "$work/program64.exe" <<'EOF'
import struct, sys
header = bytearray(0x100)
header[0:2] = b"MZ"
header[60:64] = struct.pack("<I", 0x80)
header[0x80:0x86] = b"PE\0\0" + struct.pack("<H", 0x8664)   # x86-64
open(sys.argv[1], "wb").write(header)
EOF
# A folder of the user's whose relative name starts with a dash.
mkdir "$work/-mine" && echo "the user's own" >"$work/notes.txt" && cp "$work/notes.txt" "$work/-mine/"
beyond_cpu=$(nproc --all)

failed=()   # the cases with a failed check, once each
fail() { echo "FAIL $1: $2"; [[ " ${failed[*]} " == *" [$1] "* ]] || failed+=("[$1]"); }

# Case | status ("" any) | words said ("" none asked) | made: nothing, or work (the
# stand-ins were called) | command, run in the work folder
taken="cannot be used"
cases=(
  "ARCH a typo|2|ARCH=win86 cannot be used: ARCH takes win64 (the 64-bit program) or win32|nothing|make -C tree run ARCH=win86"
  "ARCH x86|2|ARCH=x86 cannot be used: ARCH takes win64|nothing|make -C tree run ARCH=x86"
  "ARCH one character off|2|ARCH=win65 cannot be used|nothing|make -C tree run ARCH=win65"
  "ARCH both programs|2|ARCH=win64 win32 cannot be used|nothing|make -C tree run 'ARCH=win64 win32'"
  "ARCH from the environment|2|ARCH=x86 (set in the environment) cannot be used|nothing|ARCH=x86 make -C tree run"
  "ARCH that make would expand|2|ARCH=\$(shell touch injected) cannot be used|nothing|make -C tree run 'ARCH=\$(shell touch injected)'"
  "ARCH win32 taken|||work|make -C tree run ARCH=win32"
  "ARCH elsewhere unread|||work|ARCH=x86 make -C tree win64"
  "DPI not a number|2|DPI=abc cannot be used: DPI takes one of 96 120 144 192|nothing|make -C tree screenshot DPI=abc"
  "DPI one off a scale|2|DPI=145 cannot be used|nothing|make -C tree screenshot DPI=145"
  "DPI a digit more|2|DPI=1440 cannot be used|nothing|make -C tree screenshot DPI=1440"
  "DPI 192 taken|||work|make -C tree screenshot DPI=192"
  "BENCH_RUNS not a number|2|BENCH_RUNS=abc cannot be used: BENCH_RUNS takes a whole number of starts from 1 to 1000|nothing|make -C tree bench BENCH_RUNS=abc"
  "BENCH_RUNS 0|2|BENCH_RUNS=0 $taken|nothing|make -C tree bench BENCH_RUNS=0"
  "BENCH_RUNS one beyond|2|BENCH_RUNS=1001 $taken|nothing|make -C tree bench BENCH_RUNS=1001"
  "BENCH_RUNS 1000 taken|||work|make -C tree bench BENCH_RUNS=1000"
  "BENCH_RUNS 1 taken|||work|make -C tree bench BENCH_RUNS=1"
  "BENCH_CPU not a number|2|BENCH_CPU=abc cannot be used: BENCH_CPU takes one of the CPUs this machine runs it on: 0|nothing|make -C tree bench BENCH_CPU=abc"
  "BENCH_CPU one beyond this machine's|2|BENCH_CPU=$beyond_cpu $taken|nothing|make -C tree bench BENCH_CPU=$beyond_cpu"
  "BENCH_CPU 0 taken|||work|make -C tree bench BENCH_CPU=0"
  "run.sh --dpi not a number|2|run.sh: --dpi /../../x is not a whole number|nothing|tree/scripts/run.sh program64.exe --dpi /../../x"
  "WINEPREFIX relative, starting with a dash|2|WINEPREFIX=-mine is a relative path, which Wine does not take; name the folder from the root: WINEPREFIX=$work/-mine|nothing|WINEPREFIX=-mine tree/scripts/run.sh program64.exe"
  "OSPREL_TEST_WINEPREFIX relative, starting with a dash|3|$work/-mine is not a Wine prefix this project made|nothing|OSPREL_TEST_WINEPREFIX=-mine tree/cmake/wine-run.sh program64.exe"
  "BENCH_PREFIX relative, starting with a dash|3|$work/-mine is not a Wine prefix this project made|nothing|BENCH_PREFIX=-mine tree/bench/run.sh"
)

# What the work folder holds, the user's folder's notes included.
contents() { (cd "$work" && find . -path ./calls -prune -o -print | sort && cat ./-mine/notes.txt); }
before=$(contents)
ran=0
for row in "${cases[@]}"; do
  IFS='|' read -r name status words made command <<<"$row"
  [[ $name == *"$filter"* ]] || continue
  ran=$((ran + 1))
  rm -f "$calls"
  said=$(cd "$work" && env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u DISPLAY -u TMPDIR -u WINEPREFIX \
         -u OSPREL_TEST_WINEPREFIX -u OSPREL_WINE32 -u BENCH_PREFIX -u ARCH -u DPI -u BENCH_RUNS -u BENCH_CPU \
         PATH="$work/bin:$PATH" OSPREL_WINE32_LOADER="$work/loader-runs" OSPREL_BINFMT_DIR="$work/binfmt" \
         bash -c "$command" 2>&1 </dev/null)
  got=$?
  [ -z "$status" ] || [ "$got" = "$status" ] || fail "$name" "status $got, expected $status: $said"
  [[ $said == *"$words"* ]] || fail "$name" "does not say [$words]: [$said]"
  if [ "$made" = nothing ]; then
    [ ! -s "$calls" ] || fail "$name" "work was started: $(tr '\n' ';' <"$calls")"
    [ "$(contents)" = "$before" ] || fail "$name" "made or changed: $(diff <(echo "$before") <(contents) | tr '\n' ' ')"
  else
    [ -s "$calls" ] || fail "$name" "the value was not taken, no work was started: [$said]"
  fi
  # What a case made (it did work, or failed) is not the next one's.
  comm -13 <(echo "$before") <(contents) | grep '^\./' | while read -r path; do rm -rf "${work:?}/$path"; done
  cp "$work/notes.txt" "$work/-mine/notes.txt"
done

echo "$((ran - ${#failed[@]})) passed, ${#failed[@]} failed"
[ "$ran" -gt 0 ] && [ ${#failed[@]} = 0 ]
