#!/usr/bin/env python3
"""Every number of every CSV that velarion-batch writes reads with float().

A column driven at a Courant number of 250 blows up: its energy, envelope
and psi files hold infinities and NaNs, which must read as such in Python
(and so in R and LibreOffice), and no zero may carry a sign.

    nonfinite_csv_test.py VELARION_BATCH
"""

import csv
import math
import os
import subprocess
import sys
import tempfile


def main():
    with tempfile.TemporaryDirectory() as folder:
        status = subprocess.run(
            [os.path.abspath(sys.argv[1]), "--locale", "C", "--box", "CLogFile=0", "--box", "TDeltaT=1e-3",
             "--box", "Tnitertemp=300", "--box", "TINDICE_MATRICE1=300",
             "--box", "TINDICE_MATRICE2=50", "--csv", "psi.csv", "--csv-segments", "0,25,50",
             "--energy", "energy.csv", "--envelope", "envelope.csv"],
            cwd=folder, capture_output=True, text=True).returncode
        if status != 2:
            print(f"expected the run to fail (status 2), got {status}")
            return 1
        kinds = set()
        for name in ("psi.csv", "energy.csv", "envelope.csv"):
            with open(os.path.join(folder, name), newline="") as f:
                rows = list(csv.reader(f))
            for row in rows[1:]:
                for field in row:
                    if field == "":
                        continue  # the last segment has no piece after it
                    value = float(field)  # raises on anything Python cannot read
                    if field.startswith("-") and value == 0:
                        print(f"{name}: a signed zero: {field}")
                        return 1
                    if math.isnan(value) or math.isinf(value):
                        if field not in ("nan", "inf", "-inf"):
                            print(f"{name}: a non-finite number written as {field}")
                            return 1
                        kinds.add(field)
        if kinds != {"nan", "inf", "-inf"}:
            print(f"expected nan, inf and -inf among the values, saw {sorted(kinds)}")
            return 1
    print("every field reads with float()")
    return 0


if __name__ == "__main__":
    sys.exit(main())
