#!/usr/bin/env bash
# Osprel's bench (`make bench`, which builds what it runs first): start-up,
# close and memory of the 64-bit and the 32-bit Osprel beside Wine's own
# winver and the floor program, the cost of one fill under Wine and natively,
# and both programs' stripped size and imports. Writes build/bench/report.md
# and report.json and prints the report. Every path can be moved:
#   BENCH_PREFIX    the bench's Wine prefix   (build/wineprefix-bench)
#   BENCH_WIN_DIR   the win64 build, with the bench programs (build/win64)
#   BENCH_WIN32_DIR the win32 build           (build/win32)
#   BENCH_HOST_DIR  the native build          (build/host)
#   BENCH_OUT       where the report goes     (build/bench)
#   BENCH_RUNS      starts of each program    (20)
#   BENCH_CPU       the CPU Wine runs on      (0)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath -m "${BENCH_PREFIX:-$root/build/wineprefix-bench}")
"$root/scripts/wine-prefix.sh" "$prefix" || exit

win=$(realpath -m "${BENCH_WIN_DIR:-$root/build/win64}")
win32=$(realpath -m "${BENCH_WIN32_DIR:-$root/build/win32}")
host=$(realpath -m "${BENCH_HOST_DIR:-$root/build/host}")
out=$(realpath -m "${BENCH_OUT:-$root/build/bench}")
runs=${BENCH_RUNS:-20}
cpu=${BENCH_CPU:-0}
for exe in "$win/Osprel.exe" "$win32/Osprel.exe" "$win/bench/osprel_floor.exe" \
           "$win/bench/osprel_wine_bench.exe" "$host/bench/osprel_fill_native"; do
  [ -x "$exe" ] || { echo "bench: $exe is missing: make bench builds it" >&2; exit 1; }
done
mkdir -p "$out"
cut -d' ' -f1-3 /proc/loadavg >"$out/load-before"

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine, its server and the X server all on one CPU: on a virtual machine,
# waking an idle second CPU for each Wine server round trip costs tens of
# microseconds, which multiplied every figure by up to five on a quiet
# machine and made them depend on whatever else it was doing.
xvfb=
stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; xvfb=; } || true
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
number=$(mktemp)
taskset -c "$cpu" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$number")"
rm -f "$number"
[ "$DISPLAY" != : ] || { echo "bench: Xvfb did not start" >&2; exit 1; }
# One Wine server for every start, started here: the figures hold no server start-up.
taskset -c "$cpu" wineserver -p
# The external wine, pinned; waited for in the background so that INT and TERM are handled at once.
wine() { taskset -c "$cpu" wine "$@" & wait $!; }
z() { printf 'Z:%s' "${1//\//\\}"; }   # Wine's Z: drive is the Unix root

# The values Wine's prefix lacks, so every reader finds its value.
wine reg import "$(z "$root/bench/full-registry.reg")" >/dev/null 2>&1
echo "Starting both Osprels, winver and the floor program $runs times each (after a warm-up)..."
wine "$win/bench/osprel_wine_bench.exe" launch "$runs" "x64=$(z "$win/Osprel.exe")" \
  "x86=$(z "$win32/Osprel.exe")" 'winver=C:\windows\system32\winver.exe' \
  "floor=$(z "$win/bench/osprel_floor.exe")" >"$out/launch.txt"
echo "Filling the dialog's rows under Wine and natively..."
wine "$win/bench/osprel_wine_bench.exe" fill 10 1000 >"$out/fill-wine.txt"
stop
"$host/bench/osprel_fill_native" --benchmark_repetitions=10 --benchmark_out="$out/fill-native.json" \
  --benchmark_out_format=json >"$out/fill-native.txt" 2>&1

python3 "$root/bench/report.py" "$out" "$win/Osprel.exe" "$win32/Osprel.exe" \
  "$win/bench/osprel_floor.exe"
