#!/usr/bin/env python3
"""Osprel's bench report, from what bench/run.sh measured in OUT, plus the
stripped size and imports of the executables; writes OUT/report.md and
OUT/report.json and prints the report.
    report.py OUT OSPREL_X64 OSPREL_X86 FLOOR"""
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
from collections import defaultdict

sys.dont_write_bytecode = True   # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "pe"))
import check_pe  # noqa: E402  the PE reader the tests use

NAMES = {"x64": "Osprel x64", "x86": "Osprel x86", "winver": "winver", "floor": "floor"}
METRICS = ["visible_ms", "close_ms", "peak_kb"]
PAIRS = [("x64", "winver"), ("x64", "floor"), ("x86", "winver"), ("x86", "floor"), ("x64", "x86")]
TITLES = ["to visible (ms)", "close to exit (ms)", "peak working set (KB)"]


def run(*command):
    try:
        return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def spread(values):
    return {"min": min(values), "median": statistics.median(values), "max": max(values), "n": len(values)}


def launch(path):
    """Per program, the spread of each metric; per Osprel and reference, of the ratios within each round."""
    rounds = defaultdict(dict)
    with open(path, encoding="utf-8") as f:
        for line in f:
            round_, name, *values = line.split()
            rounds[int(round_)][name] = dict(zip(METRICS, map(float, values)))
    programs = {name: {m: spread([r[name][m] for r in rounds.values()]) for m in METRICS} for name in NAMES}
    ratios = {f"{a}/{b}": {m: spread([r[a][m] / r[b][m] for r in rounds.values()]) for m in METRICS}
              for a, b in PAIRS}
    return {"programs": programs, "ratios": ratios}


def fill_wine(path):
    samples = defaultdict(list)
    with open(path, encoding="utf-8") as f:
        for line in f:
            name, value = line.split()
            samples[name].append(float(value))
    return {name: spread(values) for name, values in samples.items()}


def fill_native(path):
    """Google Benchmark's own aggregates of its repetitions, and the registry calls per fill."""
    with open(path, encoding="utf-8") as f:
        rows = {b.get("aggregate_name"): b for b in json.load(f)["benchmarks"] if b["run_type"] == "aggregate"}
    return {"us_median": rows["median"]["real_time"], "us_stddev": rows["stddev"]["real_time"],
            "repetitions": rows["median"]["repetitions"],
            "calls": {k: rows["median"][k] for k in ("opens", "queries", "closes", "left_open")}}


def footprint(exe, name, out):
    with open(exe, "rb") as f:
        image = check_pe.Image(f.read())
    imports = defaultdict(list)
    for dll, function in image.imports():
        imports[dll].append(function)
    copy = os.path.join(out, name + ".stripped.exe")
    shutil.copyfile(exe, copy)
    arch = "i686" if image.machine == check_pe.MACHINE_I386 else "x86_64"
    subprocess.run([f"{arch}-w64-mingw32-strip", copy], check=True)
    return {"bytes": os.path.getsize(exe), "stripped_bytes": os.path.getsize(copy), "imports": imports,
            "foreign": [d for d in imports if d.lower() not in check_pe.SYSTEM_DLLS]}


def cells(s, digits):
    return f"{s['min']:.{digits}f} / **{s['median']:.{digits}f}** / {s['max']:.{digits}f}"


def markdown(r):
    env, lp, wine, native = r["environment"], r["launch"], r["fill_wine"], r["fill_native"]
    lines = [f"# Osprel bench\n\n{env['date']}, commit {env['commit']}; {env['wine']}; {env['cores']} cores; "
             f"load average {env['load_before']} before, {env['load_after']} after. Reproduce with `make bench`; "
             "Wine, its server and the X server run on one CPU.\n",
             *([f"**The machine was busy (load average {env['load_before'].split()[0]} on {env['cores']} cores):** "
                "the medians move from run to run; compare programs within one report, not across reports.\n"]
               if float(env["load_before"].split()[0]) > env["cores"] / 2 else []),
             f"## Start-up, close and memory ({lp['programs']['x64']['visible_ms']['n']} starts of each, "
             "interleaved, after a warm-up; min / **median** / max)\n",
             "Time to visible: process creation to a visible top-level window of the process. Close to exit: "
             "WM_CLOSE to process exit. Peak working set: read once the program is idle. A ratio is taken "
             "pair by pair: each start over the other program's start in the same round.\n",
             "| | " + " | ".join(TITLES) + " |", "|---|---|---|---|"]
    lines += [f"| {NAMES[n]} | " + " | ".join(cells(p[m], d) for m, d in zip(METRICS, (1, 1, 0))) + " |"
              for n, p in lp["programs"].items()]
    lines += [f"| {' / '.join(NAMES[n] for n in pair.split('/'))} | " +
              " | ".join(cells(q[m], 2) for m in METRICS) + " |" for pair, q in lp["ratios"].items()]
    calls = native["calls"]
    lines += ["\n## Filling the dialog's eleven rows (µs per fill)\n",
              f"Under Wine, real registry: {cells(wine['fill'], 1)} over {wine['fill']['n']} runs of 1000 "
              f"fills; the first fill of a fresh process alone {wine['first']['median']:.0f} µs. Natively, "
              f"in-memory registry (Google Benchmark, {native['repetitions']} repetitions of 1000 fills): median "
              f"{native['us_median']:.2f} µs, standard deviation {native['us_stddev']:.2f} µs.\n",
              "Each reader alone under Wine, µs per call (median): " + ", ".join(
                  f"{n} {s['median']:.0f}" for n, s in wine.items() if n not in ("fill", "first")) + ".\n",
              "Registry calls per fill: {opens:g} opens, {queries:g} queries, {closes:g} closes, "
              "{left_open:g} keys left open.\n".format(**calls), "## Footprint\n"]
    for name, f in r["footprint"].items():
        lines.append(f"{NAMES[name]}: {f['bytes']:,} bytes as built, **{f['stripped_bytes']:,} bytes "
                     f"({f['stripped_bytes'] / 1024:.1f} KB) stripped**; "
                     + (f"needs {', '.join(f['foreign'])}; " if f["foreign"] else "system DLLs only; ")
                     + "imports " + "; ".join(f"{dll} ({len(fs)})" for dll, fs in f["imports"].items()) + ".\n")
    return "\n".join(lines)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    out, x64, x86, floor = sys.argv[1:]
    with open(os.path.join(out, "load-before"), encoding="utf-8") as f:
        load_before = f.read().strip()
    with open("/proc/loadavg", encoding="utf-8") as f:
        load_after = " ".join(f.read().split()[:3])
    report = {
        "environment": {"date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
                        "commit": run("git", "-C", os.path.dirname(os.path.abspath(__file__)), "describe",
                                      "--always", "--dirty"),
                        "wine": run("wine", "--version"), "cores": os.cpu_count(),
                        "load_before": load_before, "load_after": load_after},
        "launch": launch(os.path.join(out, "launch.txt")),
        "fill_wine": fill_wine(os.path.join(out, "fill-wine.txt")),
        "fill_native": fill_native(os.path.join(out, "fill-native.json")),
        "footprint": {name: footprint(exe, name, out) for name, exe in (("x64", x64), ("x86", x86), ("floor", floor))},
    }
    text = markdown(report)
    with open(os.path.join(out, "report.md"), "w", encoding="utf-8") as f:
        f.write(text)
    with open(os.path.join(out, "report.json"), "w", encoding="utf-8") as f:
        json.dump(report, f, indent=2, ensure_ascii=False)
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
