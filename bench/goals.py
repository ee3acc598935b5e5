#!/usr/bin/env python3
"""Prints the ratios of the speed goals from a tessary-bench JSON report; exits with 1 when a
goal is missed.

Times are CPU times of the benchmark thread, so that other work on a busy machine weighs less,
and the median of the repetitions when the benchmarks were repeated.
"""

import json
import sys

FAMILIES = ["BM_PlainText", "BM_BuildCold", "BM_BuildWarm", "BM_BuildDrag", "BM_Analyze",
            "BM_Highlight"]


def main(path):
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
    failures = 0

    def check(label, value, limit):
        nonlocal failures
        ok = value <= limit
        failures += 0 if ok else 1
        print(f"  {label:<44} {value:8.2f}  (goal <= {limit:g})  {'ok' if ok else 'MISSED'}")

    print("Linear: time(N = 1000) / time(N = 100)")
    for family in FAMILIES:
        small, large = times.get(f"{family}/100"), times.get(f"{family}/1000")
        if small is None or large is None:
            print(f"  {family:<44} not measured")
            continue
        check(family, large / small, 12)

    print("Near the floor")
    plain, warm = times.get("BM_PlainText/1000"), times.get("BM_BuildWarm/1000")
    drag, analyze = times.get("BM_BuildDrag/1000"), times.get("BM_Analyze/1000")
    if plain and warm:
        check("BM_BuildWarm/1000 / BM_PlainText/1000", warm / plain, 3)
    if warm and drag:
        check("BM_BuildDrag/1000 / BM_BuildWarm/1000", drag / warm, 1.5)
    print("Analysis")
    if warm and analyze:
        check("BM_Analyze/1000 / BM_BuildWarm/1000", analyze / warm, 1)
    else:
        print("  BM_Analyze/1000 not measured")
    highlight = rates.get("BM_Highlight/1000")
    if highlight:
        print(f"Highlight: {highlight / 1e6:.1f} MB/s at N = 1000 "
              "(bench/compare-peers.sh compares it with Pygments)")
    print("All goals met" if failures == 0 else f"{failures} goal(s) missed")
    return failures


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} REPORT.json")
    sys.exit(1 if main(sys.argv[1]) else 0)
