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
# shellcheck source=../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
wine32_ready || exit 1   # the bench runs the 32-bit program too
prefix=$(realpath -m -- "${BENCH_PREFIX:-$root/build/wineprefix-bench}")
"$root/scripts/wine-prefix.sh" "$prefix" || exit

win=$(realpath -m -- "${BENCH_WIN_DIR:-$root/build/win64}")
win32=$(realpath -m -- "${BENCH_WIN32_DIR:-$root/build/win32}")
host=$(realpath -m -- "${BENCH_HOST_DIR:-$root/build/host}")
out=$(realpath -m -- "${BENCH_OUT:-$root/build/bench}")
runs=${BENCH_RUNS:-20}
cpu=${BENCH_CPU:-0}
for exe in "$win/Osprel.exe" "$win32/Osprel.exe" "$win/bench/osprel_floor.exe" \
           "$win/bench/osprel_wine_bench.exe" "$host/bench/osprel_fill_native"; do
  [ -x "$exe" ] || { echo "bench: $exe is missing: make bench builds it" >&2; exit 1; }
done
wine_env "$prefix"
# Run again on a private display, Wine, its server and Xvfb pinned to one CPU
# (docs/performance.md tells why); with-display.sh stops the server after.
if [ "${1:-}" != --on-display ]; then
  mkdir -p "$out"
  cut -d' ' -f1-3 /proc/loadavg >"$out/load-before"
  env -u DISPLAY taskset -c "$cpu" "$root/scripts/with-display.sh" --prefix "$prefix" "$0" --on-display
  "$host/bench/osprel_fill_native" --benchmark_repetitions=10 --benchmark_out="$out/fill-native.json" \
    --benchmark_out_format=json >"$out/fill-native.txt" 2>&1
  exec python3 "$root/bench/report.py" "$out" "$win/Osprel.exe" "$win32/Osprel.exe" \
    "$win/bench/osprel_floor.exe"
fi

# One Wine server for every start, started here: the figures hold no server start-up.
wineserver -p
trap 'wineserver -k' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# The external wine, waited for in the background so that INT and TERM are handled at once.
wine() { command wine "$@" & wait $!; }

# The values Wine's prefix lacks, so every reader finds its value.
wine reg import "$(windows_path "$root/bench/full-registry.reg")" >/dev/null 2>&1
echo "Starting both Osprels, winver and the floor program $runs times each (after a warm-up)..."
wine "$win/bench/osprel_wine_bench.exe" launch "$runs" "x64=$(windows_path "$win/Osprel.exe")" \
  "x86=$(windows_path "$win32/Osprel.exe")" 'winver=C:\windows\system32\winver.exe' \
  "floor=$(windows_path "$win/bench/osprel_floor.exe")" >"$out/launch.txt"
echo "Filling the dialog's rows under Wine and natively..."
wine "$win/bench/osprel_wine_bench.exe" fill 10 1000 >"$out/fill-wine.txt"
