#!/usr/bin/env python3
"""velarion-batch --verify against a computation of its own.

The column of 100 pieces with the restoring free end, a counter pressure of
1 (10000 Pa) and 3000 levels, about 7.4 crossings of the wave: this script
steps the three grids itself with NumPy (the update as the user's guide
writes it), builds the exact solution of the finite column by summing the
step wave's reflections one by one, and compares both error norms of every
grid with the table that --verify prints, to three significant digits.

    exact_column_oracle.py VELARION_BATCH
"""

import math
import subprocess
import sys

import numpy as np

RHO, VFASE, V0, P = 1000.0, 50.0, 5.5, 10000.0
SEGMENTS, DT, LEVELS = 101, 1e-6, 3000
L0 = 2.0 / 10000


def step_grid(segments, l0, dt, levels):
    """Every level of the column, rows 0..levels, restoring free end."""
    b = VFASE * VFASE * RHO
    c = (dt / l0) ** 2.0
    k1, k2 = c * (1 / RHO), c * (b / RHO)
    rest = np.cumsum(np.concatenate(([0.0], np.full(segments - 1, l0))))
    rows = [rest, rest - dt * V0]
    for _ in range(2, levels + 1):
        cur, prev = rows[-1], rows[-2]
        new = np.empty_like(cur)
        new[0] = k1 * ((cur[1] - cur[0] - l0) * b + P * l0) + (2 * cur[0] - prev[0])
        new[1:-1] = k2 * ((cur[2:] - 2 * cur[1:-1]) + cur[:-2]) + (2 * cur[1:-1] - prev[1:-1])
        new[-1] = k2 * ((cur[-2] - cur[-1]) + l0) + (2 * cur[-1] - prev[-1])
        rows.append(new)
    return rows


def exact_displacement(x, t, length):
    """The exact displacement from the rigid motion at distance x from the
    loaded face, t seconds after the pressure step: each wave that has
    arrived (from the loaded face, and back from the free face) adds a
    ramp of P / (rho c) times the time since it arrived."""
    speed = P / (RHO * VFASE)
    total = np.zeros_like(x)
    arrival_of = []
    crossing = length / VFASE
    # The wave's n-th passage: it starts at the loaded face at 2 n L / c,
    # going out, and at (2 n + 1) L / c comes back from the free face.
    n = 0
    while 2 * n * crossing < t:
        arrival_of.append((2 * n * crossing) + x / VFASE)
        arrival_of.append((2 * n + 1) * crossing + (length - x) / VFASE)
        n += 1
    for arrival in arrival_of:
        total += np.where(arrival < t, t - arrival, 0.0)
    return speed * total


def grid_errors(halvings):
    segments = SEGMENTS * 2**halvings
    l0, dt, levels = L0 / 2**halvings, DT / 2**halvings, LEVELS * 2**halvings
    rows = step_grid(segments, l0, dt, levels)
    length = segments * l0
    centres = (np.arange(segments) + 0.5) * l0
    largest_exact = largest_error = squares = 0.0
    count = 0
    for level in range(1, levels + 1):
        computed = (rows[level] - rows[0]) + level * (dt * V0)
        # Level 1 is the rigid start: the pressure acts from half a step on.
        exact = exact_displacement(centres, (level - 0.5) * dt, length)
        error = computed - exact
        largest_exact = max(largest_exact, np.abs(exact).max())
        largest_error = max(largest_error, np.abs(error).max())
        squares += float(np.sum(error * error))
        count += segments
    return largest_error / largest_exact, math.sqrt(squares / count) / largest_exact


def printed_errors(batch):
    out = subprocess.run(
        [batch, "--locale", "C", "--box", "CLogFile=0", "--free-end", "restoring",
         "--box", "TP=1", "--box", "TINDICE_MATRICE2=100", "--box", "Tnitertemp=3000",
         "--box", "TINDICE_MATRICE1=3000", "--verify"],
        check=True, capture_output=True, text=True).stdout.splitlines()
    header = out.index(next(line for line in out if line.startswith("segments\t")))
    table = [line.split("\t") for line in out[header + 1:header + 4]]
    return [(float(row[3]), float(row[4])) for row in table]


def same_to_three_digits(a, b):
    return abs(a - b) <= 5e-4 * abs(b)


def main():
    printed = printed_errors(sys.argv[1])
    failures = 0
    for halvings, (largest, rms) in enumerate(printed):
        expected_largest, expected_rms = grid_errors(halvings)
        for name, got, want in (("largest", largest, expected_largest),
                                ("RMS", rms, expected_rms)):
            ok = same_to_three_digits(got, want)
            failures += not ok
            print(f"grid {halvings}: {name} error {got:.6g}, here {want:.6g}: "
                  f"{'same' if ok else 'DIFFERENT'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
