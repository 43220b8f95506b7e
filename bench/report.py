#!/usr/bin/env python3
"""Osprel's bench report: gathers what bench/run.sh measured, adds the
stripped size and imports of both Osprel.exe files, checks the targets, and writes
report.md and report.json into the output directory (and prints report.md)."""

import argparse
import datetime
import json
import os
import re
import shutil
import subprocess
import sys

KB = 1024
SIZE_LIMIT = 200 * KB
# The names bench/run.sh gives the two programs in the launch bench; the first is its subject.
X64, X86 = "Osprel x64", "Osprel x86"
EXPECTED_CALLS = {"opens": 11, "queries": 13, "closes": 11, "left_open": 0}


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def imports(exe):
    """{dll: [function, ...]} from objdump's import tables."""
    table, dll = {}, None
    for line in run("x86_64-w64-mingw32-objdump", "-p", exe).splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1)
            table[dll] = []
        elif dll and not line.strip():
            dll = None
        elif dll:
            entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
            if entry:
                table[dll].append(entry.group(1))
    return table


def stripped_size(exe, name, out_dir):
    """Stripped by the binutils of the executable's own processor."""
    i386 = "pei-i386" in run("x86_64-w64-mingw32-objdump", "-f", exe)
    copy = os.path.join(out_dir, name.replace(" ", "-") + ".stripped.exe")
    shutil.copyfile(exe, copy)
    run(("i686" if i386 else "x86_64") + "-w64-mingw32-strip", copy)
    return os.path.getsize(copy)


def exe_footprint(exe, name, out_dir, system_dir):
    """Size as built and stripped, and imports; a DLL that `system_dir` of the
    prefix lacks (system32, or syswow64 for 32-bit programs) is not the system's."""
    table = imports(exe)
    known = {n.lower() for n in os.listdir(system_dir)} if os.path.isdir(system_dir) else set()
    return {"bytes": os.path.getsize(exe), "stripped_bytes": stripped_size(exe, name, out_dir), "imports": table,
            "non_system_dlls": [dll for dll in table if known and dll.lower() not in known]}


def footprint(args):
    windows = os.path.join(args.prefix, "drive_c", "windows")
    return {name: exe_footprint(exe, name, args.out, os.path.join(windows, system))
            for name, exe, system in [(X64, args.osprel, "system32"), (X86, args.osprel_x86, "syswow64"),
                                      ("floor", args.floor, "system32")]}


def native_fill(path):
    """Median aggregate of Google Benchmark's repetitions, with the counters."""
    rows = load(path)["benchmarks"]
    median = next(b for b in rows if b.get("aggregate_name") == "median")
    runs = [b for b in rows if b.get("run_type") == "iteration"]
    real = [b["real_time"] for b in runs]
    return {
        "fills": runs[0]["iterations"] if runs else 0,
        "repetitions": len(runs),
        "us_per_fill": {"min": min(real), "median": median["real_time"], "max": max(real)},
        "cpu_us_per_fill_median": median["cpu_time"],
        "calls_per_fill": {k: median[k] for k in EXPECTED_CALLS},
    }


def program(launch, name):
    return next(p for p in launch["programs"] if p["name"] == name)


def ratio(launch, reference):
    return next(r for r in launch["ratios"] if r["reference"] == reference)


def targets(report):
    launch, fp = report["launch"], report["footprint"]
    visible_w = ratio(launch, "winver")["visible_ms"]["median"]
    visible_f = ratio(launch, "floor")["visible_ms"]["median"]
    ws_w = program(launch, "winver")["peak_working_set_kb"]["median"]
    fill_us = report["fill_wine"]["us_per_fill"]["median"]
    calls = report["fill_native"]["calls_per_fill"]
    rows = [
        (f"{X64}: time to visible at most 0.9 of winver's", f"{visible_w:.2f} of winver's", visible_w <= 0.9),
        (f"{X64}: time to visible within 10% of the floor's", f"{visible_f:.2f} of the floor's", visible_f <= 1.1),
    ]
    for name in (X64, X86):
        ws = program(launch, name)["peak_working_set_kb"]["median"]
        size, foreign = fp[name]["stripped_bytes"], fp[name]["non_system_dlls"]
        rows += [(f"{name}: peak working set no larger than winver's",
                  f"{ws / KB:.1f} MB against {ws_w / KB:.1f} MB", ws <= ws_w),
                 (f"{name}: stripped Osprel.exe at most 200 KB, statically linked",
                  f"{size / KB:.1f} KB; " + ("needs " + ", ".join(foreign) if foreign else "system DLLs only"),
                  size <= SIZE_LIMIT and not foreign)]
    return rows + [
        ("One fill under 1 ms under Wine", f"{fill_us:.0f} µs", fill_us < 1000),
        ("Registry calls per fill: 11 opens, 13 queries, 11 closes, none left open",
         "{opens:g} / {queries:g} / {closes:g}, {left_open:g} left open".format(**calls),
         all(calls[k] == v for k, v in EXPECTED_CALLS.items())),
    ]


def spread(s, digits=1):
    return f"{s['min']:.{digits}f} / **{s['median']:.{digits}f}** / {s['max']:.{digits}f}"


METRICS = [("visible_ms", "to visible (ms)"), ("close_ms", "close to exit (ms)"),
           ("peak_working_set_kb", "peak working set (KB)")]


def min_ratio_line(launch):
    """Ratios of the fastest starts: what the programs cost when nothing else ran."""
    fastest = {p["name"]: p["visible_ms"]["min"] for p in launch["programs"]}
    return ("Time to visible, ratio of the fastest starts (the least disturbed): " +
            ", ".join(f"{o} / {name} {fastest[o] / t:.2f}" for o in (X64, X86) for name, t in fastest.items()
                      if name not in (X64, X86)) + ".")


def busy_warning(env):
    """A line for a report measured while the machine had other work."""
    load = float(env["load_before"].split()[0])
    if load <= 0.5 * (env["cores"] or 1):
        return []
    return [f"**The machine was busy when the bench began (load average {load:.2f} on {env['cores']} cores):** "
            "the start-up medians then move by several per cent from run to run; the ratios of the fastest "
            "starts and the in-process figures below hold better.", ""]


def launch_table(launch):
    lines = ["| | " + " | ".join(title for _, title in METRICS) + " |", "|---|---|---|---|"]
    for p in launch["programs"]:
        lines.append(f"| {p['name']} | " + " | ".join(spread(p[key], 1) for key, _ in METRICS) + " |")
    for r in launch["ratios"]:
        lines.append(f"| {r['subject']} / {r['reference']}, pair by pair | " +
                     " | ".join(spread(r[key], 2) for key, _ in METRICS) + " |")
    return lines


def fill_lines(report):
    wine, native = report["fill_wine"], report["fill_native"]
    lines = [
        "| | µs per fill: min / **median** / max | |",
        "|---|---|---|",
        f"| Wine, real registry | {spread(wine['us_per_fill'])} | {wine['fills']} fills a run, "
        f"{wine['repeats']} runs; the first fill of the process alone: {wine['us_first_fill']:.0f} µs |",
        f"| native, in-memory registry | {spread(native['us_per_fill'], 2)} | median CPU time "
        f"{native['cpu_us_per_fill_median']:.2f} µs; {native['fills']} fills a run, {native['repetitions']} runs |",
        "",
        "Rows as read under Wine: " + "; ".join(f"“{t}”" for t in wine.get("texts", [])) + ".",
        "",
        "Each reader alone under Wine, µs per call (median): " +
        ", ".join(f"{name} {s['median']:.0f}" for name, s in wine["us_per_reader"].items()) + ".",
        "",
        "Registry calls per fill, counted by the in-memory registry: "
        "{opens:g} opens, {queries:g} queries, {closes:g} closes, {left_open:g} keys left open."
        .format(**native["calls_per_fill"]),
    ]
    return lines


def gap_lines(report):
    """Osprel's start-up beyond the floor's, taken apart inside one warm process."""
    cost, launch = report["dialog_cost"], report["launch"]
    o, f = cost["osprel"], cost["floor"]
    rows = [("created, hidden", "create_ms"), ("shown and painted", "show_ms"), ("destroyed", "destroy_ms")]
    lines = [f"| | {X64}'s window ({o['controls']} controls) | the floor's ({f['controls']}) | difference |",
             "|---|---|---|---|"]
    for title, key in rows:
        a, b = o[key]["median"], f[key]["median"]
        lines.append(f"| {title} (ms) | {a:.2f} | {b:.2f} | {a - b:+.2f} |")
    icons = cost["set_icons_ms"]["median"]
    fill = report["fill_wine"]["us_first_fill"] / 1000
    lines.append(f"| WM_SETICON, big and small, while initialising (ms) | {icons:.2f} | | {icons:+.2f} |")
    lines.append(f"| the one fill a fresh process makes (ms) | {fill:.2f} | | {fill:+.2f} |")
    window = sum(o[k]["median"] - f[k]["median"] for k in ("create_ms", "show_ms"))
    measured = program(launch, X64)["visible_ms"]["median"] - program(launch, "floor")["visible_ms"]["median"]
    lines += ["", f"Together {window + icons + fill:.1f} ms before {X64} is visible "
              f"({window:.1f} ms of it its controls), against {measured:.1f} ms between the launch medians; "
              f"closing, its controls add {o['destroy_ms']['median'] - f['destroy_ms']['median']:.1f} ms."]
    return lines


def footprint_lines(fp):
    lines = []
    for name in (X64, X86):
        f = fp[name]
        lines += [f"{name}: {f['bytes']:,} bytes as built, **{f['stripped_bytes']:,} bytes "
                  f"({f['stripped_bytes'] / KB:.1f} KB) stripped**. Imports:", ""]
        lines += [f"- {dll} ({len(functions)}): {', '.join(functions)}" for dll, functions in f["imports"].items()]
        lines.append("")
    return lines + [f"The floor program stripped: {fp['floor']['stripped_bytes']:,} bytes."]


def markdown(report):
    env = report["environment"]
    lines = [
        "# Osprel bench",
        "",
        f"{env['date']}, commit {env['commit']}; {env['wine']}; {env['cores']} cores; "
        f"load average {env['load_before']} before, {env['load_after']} after.",
        "Reproduce with `make bench`. Wine, its server and the X server run on one CPU.",
        "",
        "## Targets",
        "",
        "| Target | Measured | |",
        "|---|---|---|",
    ]
    lines += [f"| {name} | {measured} | {'met' if ok else '**missed**'} |" for name, measured, ok in report["targets"]]
    lines += ["", f"Ratios are medians of the pair-by-pair ratios (run k of {X64} over run k of the other program, "
              "in the same round).", "",
              f"## Start-up, close and memory ({report['runs']} starts of each program, interleaved, "
              "after a warm-up)", "",
              "Time to visible: process creation to a visible top-level window of the process. Close to exit: "
              "WM_CLOSE to process exit. Peak working set: read once the program is idle, before it closes.", ""]
    lines += busy_warning(env)
    lines += launch_table(report["launch"])
    lines += ["", min_ratio_line(report["launch"])]
    lines += ["", "## Filling the dialog (all eleven readers, in the dialog's order)", ""]
    lines += fill_lines(report)
    lines += ["", "## Where Osprel's time beyond the floor's goes (inside one warm process, medians)", ""]
    lines += gap_lines(report)
    lines += ["", "## Footprint", ""]
    lines += footprint_lines(report["footprint"])
    return "\n".join(lines) + "\n"


def environment(out_dir):
    def text(command):
        try:
            return run(*command).strip()
        except (OSError, subprocess.CalledProcessError):
            return "unknown"
    here = os.path.dirname(os.path.abspath(__file__))
    commit = text(["git", "-C", here, "describe", "--always", "--dirty"])
    with open(os.path.join(out_dir, "load-before"), encoding="utf-8") as f:
        before = f.read().strip()
    with open("/proc/loadavg", encoding="utf-8") as f:
        after = " ".join(f.read().split()[:3])
    return {
        "date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
        "commit": commit,
        "wine": text(["wine", "--version"]),
        "cores": os.cpu_count(),
        "load_before": before,
        "load_after": after,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True)
    parser.add_argument("--osprel", required=True, help="the 64-bit Osprel.exe")
    parser.add_argument("--osprel-x86", required=True, help="the 32-bit Osprel.exe")
    parser.add_argument("--floor", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--runs", type=int, required=True)
    args = parser.parse_args()

    report = {
        "environment": environment(args.out),
        "runs": args.runs,
        "launch": load(os.path.join(args.out, "launch.json")),
        "fill_wine": load(os.path.join(args.out, "fill-wine.json")),
        "fill_native": native_fill(os.path.join(args.out, "fill-native.json")),
        "dialog_cost": load(os.path.join(args.out, "dialog-cost.json")),
        "footprint": footprint(args),
    }
    report["targets"] = targets(report)
    text = markdown(report)
    report["targets"] = [{"target": n, "measured": m, "met": ok} for n, m, ok in report["targets"]]

    with open(os.path.join(args.out, "report.md"), "w", encoding="utf-8") as f:
        f.write(text)
    with open(os.path.join(args.out, "report.json"), "w", encoding="utf-8") as f:
        json.dump(report, f, indent=2, ensure_ascii=False)
        f.write("\n")
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
