#!/usr/bin/env python3
"""Prints the ratios of the speed and memory goals from a tessary-bench JSON report; exits with 1
when a goal is missed.

    goals.py REPORT.json [--peak-memory PROGRAM] [--base BASE.json]

Times are CPU times of the benchmark thread, so that other work on a busy machine weighs less,
and the median of the repetitions when the benchmarks were repeated. PROGRAM (tessary-peak-memory)
is run once for the memory goal. BASE.json, a report of an earlier revision, makes every
benchmark a goal: at most 5 % slower than there.
"""

import argparse
import json
import subprocess
import sys

FAMILIES = ["BM_PlainText", "BM_BuildCold", "BM_BuildWarm", "BM_BuildDrag", "BM_Analyze",
            "BM_EditCycle", "BM_Highlight"]


def cpu_times(path):
    """The CPU time of every benchmark: the median when repeated, else the first run."""
    with open(path, encoding="utf-8") as report:
        runs = json.load(report)["benchmarks"]
    times, rates = {}, {}
    for run in runs:
        median = run.get("aggregate_name") == "median"
        if run.get("run_type") == "iteration" or median:
            name = run["run_name"] if median else run["name"]
            if median or name not in times:
                times[name] = run["cpu_time"]
                rates[name] = run.get("bytes_per_second")
    return times, rates


def main(arguments):
    times, rates = cpu_times(arguments.report)
    failures = 0

    def check(label, value, limit):
        nonlocal failures
        ok = value <= limit
        failures += 0 if ok else 1
        print(f"  {label:<44} {value:8.2f}  (goal <= {limit:g})  {'ok' if ok else 'MISSED'}")

    def ratio(label, large, small, limit):
        if times.get(large) and times.get(small):
            check(label or f"{large} / {small}", times[large] / times[small], limit)
        else:
            print(f"  {label or large:<44} not measured")

    print("Linear: time(N = 1000) / time(N = 100)")
    for family in FAMILIES:
        ratio(family, f"{family}/1000", f"{family}/100", 12)

    print("Near the floor")
    ratio(None, "BM_BuildWarm/1000", "BM_PlainText/1000", 3)
    ratio(None, "BM_BuildCold/1000", "BM_PlainText/1000", 5)
    ratio(None, "BM_BuildDrag/1000", "BM_BuildWarm/1000", 1.5)
    print("Analysis and the whole keystroke")
    ratio(None, "BM_Analyze/1000", "BM_BuildWarm/1000", 1)
    ratio(None, "BM_EditCycle/1000", "BM_BuildWarm/1000", 1.5)

    if arguments.peak_memory:
        print("Memory: peak growth / snippet size, 1,000 cells x 10 sub-cells")
        measured = json.loads(subprocess.run([arguments.peak_memory], check=True,
                                             capture_output=True, text=True).stdout)
        print(f"  snippet {measured['snippet_bytes'] / 1e6:.1f} MB, "
              f"peak grew by {measured['peak_growth_bytes'] / 1e6:.1f} MB")
        check("peak growth / snippet size",
              measured["peak_growth_bytes"] / measured["snippet_bytes"], 12)

    if arguments.base:
        print(f"Against {arguments.base}: time / base time")
        base, _ = cpu_times(arguments.base)
        for name in sorted(set(times) & set(base)):
            check(name, times[name] / base[name], 1.05)

    highlight = rates.get("BM_Highlight/1000")
    if highlight:
        print(f"Highlight: {highlight / 1e6:.1f} MB/s at N = 1000 "
              "(bench/compare-peers.sh compares it with Pygments)")
    print("All goals met" if failures == 0 else f"{failures} goal(s) missed")
    return failures


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("report")
    parser.add_argument("--peak-memory", help="the tessary-peak-memory program")
    parser.add_argument("--base", help="a report of an earlier revision")
    sys.exit(1 if main(parser.parse_args()) else 0)
