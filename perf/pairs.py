#!/usr/bin/env python3
"""Interleaved pairs: runs a Google Benchmark program with repetitions in
random interleaving and prints, for every benchmark X_Ours with a partner
X_Reference (same arguments), the speed ratio reference time / our time as
median and range over the repetitions (1.00 = as fast as the reference).

  perf/pairs.py build-perf/perf/perf_crypto [runs] [extra benchmark flags]

Repetition i of ours is paired with repetition i of the reference; with
random interleaving the two of a pair ran close together in time, so a
noisy neighbour moves both.
"""
import json
import statistics
import subprocess
import sys
import tempfile


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    program = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    extra = sys.argv[3:]
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run(
            [program, f"--benchmark_repetitions={runs}", "--benchmark_enable_random_interleaving=true",
             f"--benchmark_out={out.name}", "--benchmark_out_format=json"] + extra,
            check=True, stdout=subprocess.DEVNULL)
        document = json.load(open(out.name))
    times = {}
    for b in document["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        times.setdefault(b["run_name"], []).append(b["cpu_time"])
    print(f"{'pair':44} {'median':>7} {'min':>6} {'max':>6}  n")
    for name, ours in sorted(times.items()):
        if "_Ours" not in name:
            continue
        ref = times.get(name.replace("_Ours", "_Reference"))
        if not ref:
            continue
        ratios = [r / o for o, r in zip(ours, ref) if o > 0]
        if not ratios:
            continue
        label = name.replace("_Ours", "")
        print(f"{label:44} {statistics.median(ratios):7.3f} {min(ratios):6.3f} {max(ratios):6.3f}  {len(ratios)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
