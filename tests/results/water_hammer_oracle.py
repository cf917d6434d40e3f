#!/usr/bin/env python3
"""velarion-batch --verify with a valve, against a computation of its own.

Two columns of 100 pieces, the boxes' defaults otherwise (Courant number
1/4): a valve shut at t = 0 with a reservoir at segment M over four round
trips of the wave (the classic water hammer), and a valve closing in 0.4 ms
against a dead end. For every grid of --verify this script steps the model
itself with NumPy (the update as the user's guide writes it), and builds
the exact solution by a method of its own: the wave equation stepped with
a Courant number of exactly 1 on a grid four times as fine, which is exact
at its nodes (d'Alembert: u(x, t + h/c) + u(x, t - h/c) = u(x + h, t) +
u(x - h, t) for every solution), with the valve's position at x = 0, the
reservoir as the mirror node at L and the dead end held at L. Every fourth
node is a segment. It compares both error norms with the table --verify
prints, to three significant digits, and checks the printed order.

    water_hammer_oracle.py VELARION_BATCH
"""

import math
import subprocess
import sys

import numpy as np

RHO, VFASE, V0 = 1000.0, 50.0, 5.5
SEGMENTS, DT = 101, 1e-6
L0 = 2.0 / 10000
FINER = 4  # nodes of the exact grid per piece: VFase DT / L0 = 1/4

CASES = [
    # (--first-end, --last-end, levels, closing time, refinement ratio)
    ("closed", "restoring", 3216, None, 3),
    ("valve:0.0004", "closed", 2400, 0.0004, 2),
]


def valve_position(t, closing, start):
    """The valve's displacement: with the column until `start`, then its
    velocity falls linearly to 0 over `closing`; a shut valve stays at 0."""
    if closing is None or t <= 0:
        return 0.0
    if t <= start:
        return -V0 * t
    tau = min(t - start, closing)
    return -V0 * (start + tau - tau * tau / (2 * closing))


def step_grid(segments, l0, dt, levels, closing, reservoir):
    """Every level of the column, rows 0..levels."""
    b = VFASE * VFASE * RHO
    k2 = (dt / l0) ** 2.0 * (b / RHO)
    rest = np.cumsum(np.concatenate(([0.0], np.full(segments - 1, l0))))
    first = rest - dt * V0
    if closing is None:
        first[0] = rest[0]
    if not reservoir:
        first[-1] = rest[-1]
    kv = dt * dt * V0 / closing if closing is not None else 0.0
    rows = [rest, first]
    for _ in range(2, levels + 1):
        cur, prev = rows[-1], rows[-2]
        new = np.empty_like(cur)
        d = cur[0] - prev[0]
        shrunk = d + kv
        new[0] = cur[0] + shrunk if closing is not None and shrunk * d > 0 else cur[0]
        new[1:-1] = k2 * ((cur[2:] - 2 * cur[1:-1]) + cur[:-2]) + (2 * cur[1:-1] - prev[1:-1])
        new[-1] = (k2 * ((cur[-2] - cur[-1]) + l0) + (2 * cur[-1] - prev[-1]) if reservoir
                   else cur[-1])
        rows.append(new)
    return rows


def exact_rows(pieces_to_face, l0, dt, levels, closing, reservoir):
    """u, the displacement from rest, at the nodes x = j l0 / FINER, j = 0..N,
    N l0 / FINER = L, at every level: the leapfrog at a Courant number of 1."""
    nodes = int(round(pieces_to_face * FINER))
    start = 0.5 * dt
    u_before = np.zeros(nodes + 1)
    u_now = np.full(nodes + 1, -V0 * dt)
    u_now[0] = valve_position(dt, closing, start)
    if not reservoir:
        u_now[-1] = 0.0
    rows = [u_before, u_now]
    for n in range(2, levels + 1):
        new = np.empty_like(u_now)
        new[1:-1] = u_now[2:] + u_now[:-2] - u_before[1:-1]
        new[0] = valve_position(n * dt, closing, start)
        new[-1] = 2 * u_now[-2] - u_before[-1] if reservoir else 0.0
        rows.append(new)
        u_before, u_now = u_now, new
    return rows


def grid_errors(case, refinement):
    first_end, last_end, levels, closing, ratio = case
    reservoir = last_end == "restoring"
    half_pieces = 1 if reservoir else 0
    factor = ratio ** refinement
    m = factor * (SEGMENTS - 1) + half_pieces * (factor - 1) // 2
    l0, dt, levels = L0 / factor, DT / factor, levels * factor
    rows = step_grid(m + 1, l0, dt, levels, closing, reservoir)
    exact = exact_rows(m + half_pieces / 2, l0, dt, levels, closing, reservoir)
    largest_exact = largest_error = squares = 0.0
    count = 0
    for level in range(1, levels + 1):
        computed = (rows[level] - rows[0]) + level * (dt * V0)
        deviation = exact[level][0:FINER * m + 1:FINER] + V0 * (level * dt)
        error = computed - deviation
        largest_exact = max(largest_exact, np.abs(deviation).max())
        largest_error = max(largest_error, np.abs(error).max())
        squares += float(np.sum(error * error))
        count += m + 1
    return largest_error / largest_exact, math.sqrt(squares / count) / largest_exact


def printed_table(batch, case):
    first_end, last_end, levels, _, _ = case
    out = subprocess.run(
        [batch, "--locale", "C", "--box", "CLogFile=0", "--first-end", first_end,
         "--last-end", last_end, "--box", "TINDICE_MATRICE2=100",
         "--box", f"Tnitertemp={levels}", "--box", f"TINDICE_MATRICE1={levels}", "--verify"],
        check=True, capture_output=True, text=True).stdout.splitlines()
    header = out.index(next(line for line in out if line.startswith("segments\t")))
    table = [line.split("\t") for line in out[header + 1:header + 4]]
    order = next(line for line in out if line.startswith("observed order of accuracy: "))
    return [(float(row[3]), float(row[4])) for row in table], float(order.split(": ")[1])


def same_to_three_digits(a, b):
    return abs(a - b) <= 5e-4 * abs(b)


def main():
    failures = 0
    for case in CASES:
        printed, order = printed_table(sys.argv[1], case)
        for refinement, (largest, rms) in enumerate(printed):
            expected_largest, expected_rms = grid_errors(case, refinement)
            for name, got, want in (("largest", largest, expected_largest),
                                    ("RMS", rms, expected_rms)):
                ok = same_to_three_digits(got, want)
                failures += not ok
                print(f"{case[0]}, {case[1]}, grid {refinement}: {name} error {got:.6g}, "
                      f"here {want:.6g}: {'same' if ok else 'DIFFERENT'}")
        # The errors shrink with the grid, at least as the step does.
        ok = order > 0.9
        failures += not ok
        print(f"{case[0]}, {case[1]}: observed order {order}: {'ok' if ok else 'TOO LOW'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
