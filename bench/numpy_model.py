#!/usr/bin/env python3
"""The fluid-column model written plainly in NumPy, for comparing whole-process
times with velarion-batch (see compare_numpy.sh).

    numpy_model.py girotondo N NITERTEMP M
    numpy_model.py double NITERTEMP M

Uses the window's default parameters (Rho 1000, VFase 50, V0 5.5, ltot 2,
deltat 1e-6, P 0) and the same operation order as velarion, so the numbers
printed at the end are the last row's first and last segment of the same
run. Exits with status 2 when a level holds an infinity or a NaN.
"""
import sys

import numpy as np

RHO, VFASE, V0, LTOT, DELTAT, P = 1000.0, 50.0, 5.5, 2.0, 0.000001, 0.0


def factors():
    B = VFASE * VFASE * RHO
    L0 = LTOT / 10000
    c = (DELTAT / L0) ** 2.0
    return c * (1 / RHO), c * (B / RHO), B, L0


K1, K2, B, L0 = factors()


def first_rows(M):
    row0 = np.cumsum(np.full(M + 1, L0))  # a running sum, as velarion lays it out
    row0 = np.concatenate(([0.0], row0[:-1]))
    return row0, row0 - DELTAT * V0


def level(C, O, T):
    """Computes T from C (the level before) and O (the one before that)."""
    twice = C + C
    T[0] = K1 * (((C[1] - C[0]) - L0) * B + P * L0) + (twice[0] - O[0])
    T[1:-1] = K2 * ((C[2:] - twice[1:-1]) + C[:-2]) + (twice[1:-1] - O[1:-1])
    T[-1] = K2 * ((C[-1] - C[-2]) - L0) + (twice[-1] - O[-1])
    if not np.isfinite(T).all():
        sys.exit(2)


def girotondo(N, nitertemp, M):
    psi = np.zeros((nitertemp + 1, M + 1))
    rows = [*first_rows(M), np.zeros(M + 1)]
    psi[0] = rows[0]
    level(rows[1], rows[0], rows[2])
    for J in range(1, nitertemp + 1):
        for _ in range(N - 1 if J == 1 else N):
            level(rows[2], rows[1], rows[0])
            level(rows[0], rows[2], rows[1])
            level(rows[1], rows[0], rows[2])
        psi[J] = rows[2]
    return psi[nitertemp]


def double(nitertemp, M):
    psi = np.zeros((nitertemp + 1, M + 1))
    psi[0], psi[1] = first_rows(M)
    for J in range(2, nitertemp + 1):
        level(psi[J - 1], psi[J - 2], psi[J])
    return psi[nitertemp]


def main(argv):
    if len(argv) == 5 and argv[1] == "girotondo":
        last = girotondo(*map(int, argv[2:]))
    elif len(argv) == 4 and argv[1] == "double":
        last = double(*map(int, argv[2:]))
    else:
        sys.exit(__doc__)
    print(f"{last[0]!r} {last[-1]!r}")


if __name__ == "__main__":
    main(sys.argv)
