#!/usr/bin/env bash
# Osprel's bench (`make bench`): start-up, close and memory of the 64-bit and
# the 32-bit Osprel beside Wine's own winver and the floor program, the cost
# of one fill under Wine and natively, the registry calls per fill, what
# Osprel's window costs beyond the floor's, and both programs' stripped size
# and imports. Writes build/bench/report.md and report.json and prints the report.
#
# Expects built trees (make bench builds what it needs); every path can be moved:
#   BENCH_WIN_DIR   the win64 build, with the bench programs (build/win64)
#   BENCH_WIN32_DIR the win32 build           (build/win32)
#   BENCH_HOST_DIR  the native build          (build/host)
#   BENCH_PREFIX    the bench's Wine prefix   (build/wineprefix-bench)
#   BENCH_OUT       where the report goes     (build/bench)
#   BENCH_RUNS      starts of each program    (20)
#   BENCH_CPU       the CPU Wine runs on      (0)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win=$(realpath -m "${BENCH_WIN_DIR:-$root/build/win64}")
win32=$(realpath -m "${BENCH_WIN32_DIR:-$root/build/win32}")
host=$(realpath -m "${BENCH_HOST_DIR:-$root/build/host}")
prefix=$(realpath -m "${BENCH_PREFIX:-$root/build/wineprefix-bench}")
out=$(realpath -m "${BENCH_OUT:-$root/build/bench}")
runs=${BENCH_RUNS:-20}

for exe in "$win/Osprel.exe" "$win32/Osprel.exe" "$win/bench/osprel_floor.exe" \
           "$win/bench/osprel_launch_bench.exe" "$win/bench/osprel_fill_bench.exe" "$win/bench/osprel_dialog_cost.exe"; do
  [ -x "$exe" ] || { echo "bench: $exe is missing: make bench builds it" >&2; exit 1; }
done
[ -x "$host/bench/osprel_fill_native" ] || {
  echo "bench: $host/bench/osprel_fill_native is missing: it needs Google Benchmark (libbenchmark-dev)" \
       "and a native build (make host)" >&2
  exit 1
}

# Wine paths of files under /: Wine's Z: drive is the Unix root.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Everything Wine runs shares one display and one Wine server, started here
# once: the figures then hold no server start-up, only the programs' own.
wine_part() {
  export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$root/scripts/wine-prefix.sh" "$prefix"
  if [ ! -f "$prefix/.osprel-bench-values" ]; then
    wine reg import "$(windows_path "$root/bench/full-registry.reg")" >/dev/null 2>&1
    touch "$prefix/.osprel-bench-values"
  fi
  echo "Starting both Osprels, winver and the floor program $runs times each (after a warm-up)..."
  wine "$win/bench/osprel_launch_bench.exe" --runs "$runs" --warmup 1 \
    --json "$(windows_path "$out/launch.json")" \
    "Osprel x64=$(windows_path "$win/Osprel.exe")" \
    "Osprel x86=$(windows_path "$win32/Osprel.exe")" \
    'winver=C:\windows\system32\winver.exe' \
    "floor=$(windows_path "$win/bench/osprel_floor.exe")" >"$out/launch.txt"
  echo "Filling the dialog's rows a thousand times under Wine..."
  wine "$win/bench/osprel_fill_bench.exe" --fills 1000 --repeats 5 \
    --json "$(windows_path "$out/fill-wine.json")" >/dev/null
  echo "Taking Osprel's window apart beside the floor's..."
  wine "$win/bench/osprel_dialog_cost.exe" "$(windows_path "$win/Osprel.exe")" \
    "$(windows_path "$win/bench/osprel_floor.exe")" --json "$(windows_path "$out/dialog-cost.json")" >/dev/null
}

if [ "${1:-}" = --wine-part ]; then
  wine_part
  exit 0
fi

mkdir -p "$out"
rm -f "$out"/{launch,fill-wine,fill-native,dialog-cost}.json
cut -d' ' -f1-3 /proc/loadavg >"$out/load-before"
# Wine, its server and the X server all on one CPU: on a virtual machine,
# waking an idle second CPU for each Wine server round trip costs tens of
# microseconds, which multiplied every figure by up to five on a quiet
# machine and made them depend on whatever else it was doing.
taskset -c "${BENCH_CPU:-0}" "$root/scripts/with-display.sh" --prefix "$prefix" "$0" --wine-part

echo "Filling the dialog's rows natively, on the in-memory registry..."
"$host/bench/osprel_fill_native" --benchmark_out="$out/fill-native.json" --benchmark_out_format=json \
  >"$out/fill-native.txt" 2>&1

python3 "$root/bench/report.py" --out "$out" --osprel "$win/Osprel.exe" \
  --osprel-x86 "$win32/Osprel.exe" --floor "$win/bench/osprel_floor.exe" --prefix "$prefix" --runs "$runs"
