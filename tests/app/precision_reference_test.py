#!/usr/bin/env python3
"""Checks velarion-batch --run precision against Python's decimal module.

The reference (bench/decimal_loop.py) performs the run's operations in
the same operand order at 50 significant digits. Every log value and the
derived values must agree with it to at least 40 significant digits.
Usage: precision_reference_test.py VELARION_BATCH BENCH_DIR
"""
import re
import subprocess
import sys
import tempfile
from decimal import Decimal

sys.path.insert(0, sys.argv[2])
import decimal_loop  # noqa: E402

CASES = [{}, {"TP": "1"}, {"TP": "1", "TINDICE_MATRICE2": "5"}]
LOG_LINE = re.compile(r"^(\d+)\) (\S+)$")


def agreeing_digits(value, reference):
    if value == reference:
        return 99
    if reference == 0:
        return 0
    return int(-(abs(value - reference) / abs(reference)).log10())


def run_batch(batch, boxes):
    args = [batch, "--run", "precision", "--locale", "it_IT", "--box", "CLogFile=0"]
    for name, text in boxes.items():
        args += ["--box", f"{name}={text}"]
    with tempfile.TemporaryDirectory() as cwd:
        done = subprocess.run(args, cwd=cwd, capture_output=True, text=True, check=True)
    return done.stdout.splitlines()


def check(batch, boxes):
    lines = run_batch(batch, boxes)
    expected_log, derived, _ = decimal_loop.simulate(boxes)
    log = [LOG_LINE.match(line).groups() for line in lines if LOG_LINE.match(line)]
    failures = []
    if [int(J) for J, _ in log] != [J for J, _ in expected_log]:
        failures.append(f"levels {[J for J, _ in log]}")
    pairs = [(f"level {J}", text, ref) for (J, text), (_, ref) in zip(log, expected_log)]
    boxes_out = dict(line.split(" = ", 1) for line in lines if " = " in line)
    pairs += [(name, boxes_out.get(name, ""), ref) for name, ref in derived.items()]
    worst = 99
    for what, text, ref in pairs:
        digits = agreeing_digits(Decimal(text.replace(",", ".")), ref)
        worst = min(worst, digits)
        if digits < 40:
            failures.append(f"{what}: {text} against {ref} ({digits} digits)")
    print(f"{boxes or 'defaults'}: {len(log)} log values, worst agreement {worst} digits")
    return failures


def main():
    failures = [f for boxes in CASES for f in check(sys.argv[1], boxes)]
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
