#!/usr/bin/env python3
"""velarion.run against velarion-batch on the Girotondo case of 3E+8 cells
(M = 9999, N = 100, 100 snapshots, 30,000 levels), as a ratio of medians
measured in one run: the call of velarion.run in a process that has
imported the module, against the whole velarion-batch process. Neither
writes a log.

    bench/python_vs_batch.py BUILD_DIR [RUNS]
"""

import os
import statistics
import subprocess
import sys
import time

build = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
sys.path.insert(0, os.path.join(build, "python"))
import velarion  # noqa: E402

CASE = {"TN": 100, "Tnitertemp": 100, "TINDICE_MATRICE1": 100}
batch = [os.path.join(build, "src", "app", "velarion-batch"), "--run", "girotondo",
         "--box", "CLogFile=0"] + [f"--box={name}={value}" for name, value in CASE.items()]


def timed(action):
    started = time.perf_counter()
    action()
    return time.perf_counter() - started


python_times, batch_times = [], []
for _ in range(runs):  # interleaved, so that both see the same machine
    python_times.append(timed(lambda: velarion.run("girotondo", **CASE)))
    batch_times.append(timed(lambda: subprocess.run(batch, check=True, capture_output=True)))
cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
            if line.startswith("model name")), "?")
load = open("/proc/loadavg").read().split()[:3]
p, b = statistics.median(python_times), statistics.median(batch_times)
print(f"CPU: {cpu} ({os.cpu_count()} cores); load: {' '.join(load)}")
print(f"velarion.run girotondo 3E+8 cells: median {p * 1000:.1f} ms of {runs}")
print(f"velarion-batch, the same:          median {b * 1000:.1f} ms of {runs}")
print(f"velarion.run / velarion-batch: {p / b:.2f}")
