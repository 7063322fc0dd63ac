#!/usr/bin/env python3
"""Stability of the figures over repeated runs, beside the machine's anchors.

  perf/stability.py [--cli PATH] [--home DIR] [--repeat 5] [--cpu N]
                    [--sections processor,memory] [--anchors PROGRAM:FILTER ...]

For each section it runs the anchors, then
    kelvarank-cli --home DIR --yes --quiet run SECTION --all --repeat 5
then the anchors again, so the anchors are measured in the same minutes as
the section. It prints each figure's coefficient of variation over the
runs (the CV column of the --repeat table) beside the anchors' CV: fixed
reference workloads (memcpy, OpenSSL's MD5, Crypto++'s ciphers, plain
32-bit loads) timed by Google Benchmark in repetitions of about the length
of the figures' spans. A figure passes when its CV is at most 3 %, or, on a
noisy machine, at most the median CV of the anchors.

--cpu N pins this script and everything it starts to processor N. The
1-minute load average is printed before and after each section: the
machine may be shared.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile

TARGET_CV = 3.0  # percent, on a quiet machine

DEFAULT_ANCHORS = [
    "build/perf/perf_memory:BM_Copy_Reference/(4096|262144|8388608)/",
    "build/perf/perf_memory:BM_Read32_Reference/4096/",
    "build/perf/perf_crypto:BM_Md5_Reference|BM_MarsDecrypt_Reference|BM_SerpentEncrypt_Reference",
]


def load_average():
    with open("/proc/loadavg") as f:
        return f.read().split()[0]


def anchor_cvs(spec, repetitions, min_time):
    """CV (percent) of each anchor benchmark's wall time over its repetitions."""
    program, _, pattern = spec.partition(":")
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([program, f"--benchmark_filter={pattern}", f"--benchmark_repetitions={repetitions}",
                        f"--benchmark_min_time={min_time}", "--benchmark_report_aggregates_only=true",
                        f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        document = json.load(open(out.name))
    cvs = {}
    for b in document["benchmarks"]:
        if b.get("aggregate_name") == "cv":
            cvs[b["run_name"]] = 100.0 * b["real_time"]
    return cvs


def parse_repeat_table(text):
    """Rows of the --repeat table: (figure, unit, median, cv percent)."""
    rows, inside = [], False
    for line in text.splitlines():
        if line.startswith("figure ") and line.rstrip().endswith("runs"):
            inside = True
            continue
        if not inside:
            continue
        parts = line.split()
        if len(parts) < 7 or not parts[-2].endswith("%"):
            if line.startswith("Report:") or not line.strip():
                inside = False
            continue
        try:
            cv = float(parts[-2].rstrip("%"))
            median = float(parts[-5].replace(",", ""))
        except ValueError:
            continue  # DISABLED rows
        rows.append((" ".join(parts[:-6]), parts[-6], median, cv))
    return rows


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default="build/src/cli/kelvarank-cli")
    ap.add_argument("--home", default="/tmp/kr-stability")
    ap.add_argument("--repeat", type=int, default=5)
    ap.add_argument("--cpu", type=int)
    ap.add_argument("--sections", default="processor,memory")
    ap.add_argument("--anchors", nargs="*", default=DEFAULT_ANCHORS)
    ap.add_argument("--anchor-repetitions", type=int, default=10)
    ap.add_argument("--anchor-min-time", default="0.01")
    ap.add_argument("--all-rows", action="store_true", help="also the clamped score rows")
    args = ap.parse_args()
    if args.cpu is not None:
        os.sched_setaffinity(0, {args.cpu})
    os.makedirs(args.home, exist_ok=True)
    # A first start makes the data files; its time is not part of any figure.
    subprocess.run([args.cli, "--home", args.home, "--yes", "info"], check=True, stdout=subprocess.DEVNULL)

    failed = 0
    for section in args.sections.split(","):
        load_before = load_average()
        anchors = {}
        for spec in args.anchors:
            for name, cv in anchor_cvs(spec, args.anchor_repetitions, args.anchor_min_time).items():
                anchors.setdefault(name, []).append(cv)
        run = subprocess.run([args.cli, "--home", args.home, "--yes", "--quiet", "run", section, "--all",
                              "--repeat", str(args.repeat)], capture_output=True, text=True)
        if run.returncode != 0:
            print(f"{section}: the run ended with {run.returncode}\n{run.stderr}", file=sys.stderr)
            return 1
        for spec in args.anchors:
            for name, cv in anchor_cvs(spec, args.anchor_repetitions, args.anchor_min_time).items():
                anchors.setdefault(name, []).append(cv)
        load_after = load_average()

        anchor_cv = {name: max(v) for name, v in anchors.items()}  # the worse of before and after
        limit = max(TARGET_CV, statistics.median(anchor_cv.values())) if anchor_cv else TARGET_CV
        print(f"== {section}: --repeat {args.repeat}, load average {load_before} before, {load_after} after"
              + (f", pinned to processor {args.cpu}" if args.cpu is not None else ""))
        print("anchors (CV of wall time, the worse of before and after the section):")
        for name, cv in sorted(anchor_cv.items()):
            print(f"  {name:56} {cv:6.2f}%")
        print(f"  median {statistics.median(anchor_cv.values()):.2f}%; a figure passes at CV <= {limit:.2f}%")
        print(f"{'figure':40} {'unit':12} {'median':>12} {'CV':>7}")
        for figure, unit, median, cv in parse_repeat_table(run.stdout):
            if not args.all_rows and figure.endswith(" score"):
                continue  # clamped at 100: no spread to see
            verdict = "ok" if cv <= limit else "OVER"
            failed += verdict != "ok"
            print(f"{figure:40} {unit:12} {median:12.2f} {cv:6.2f}%  {verdict}")
        print()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
