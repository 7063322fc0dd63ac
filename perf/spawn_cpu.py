#!/usr/bin/env python3
"""CPU time (user+sys, ms) of a command, as interleaved pairs: A then B, N times.
Usage: spawncpu.py N CMD_A -- CMD_B"""
import os, sys, statistics
n = int(sys.argv[1]); args = sys.argv[2:]; i = args.index('--'); a, b = args[:i], args[i+1:]
def cpu(cmd):
    pid = os.posix_spawn(cmd[0], cmd, os.environ, file_actions=[(os.POSIX_SPAWN_OPEN, 1, '/dev/null', os.O_WRONLY, 0)])
    _, _, ru = os.wait4(pid, 0)
    return (ru.ru_utime + ru.ru_stime) * 1000
ra, rb = [], []
for _ in range(n):
    ra.append(cpu(a)); rb.append(cpu(b))
for name, r in (("A", ra), ("B", rb)):
    print(f"{name}: median {statistics.median(r):.1f} ms (range {min(r):.1f}-{max(r):.1f}), {n} runs")
