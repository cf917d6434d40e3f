"""velarion-batch --results as other programs read it: xarray and ncdump.

Run by ctest with VELARION_BATCH at the program (tests/CMakeLists.txt)."""

import csv
import os
import re
import subprocess

import numpy as np
import xarray as xr

BATCH = os.environ["VELARION_BATCH"]


def batch(tmp_path, *args):
    return subprocess.run([BATCH, *args], cwd=tmp_path, check=True, capture_output=True,
                          text=True)


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return np.array([[float(x) for x in row] for row in rows[1:]])


def test_xarray_reads_the_positions_of_the_csv_bit_for_bit(tmp_path):
    segments = ",".join(str(s) for s in range(0, 10000, 97))
    batch(tmp_path, "--locale", "it_IT", "--box", "TP=1,5", "--box", "TV0=2,25", "--threads",
          "2", "--results", "run.nc", "--csv", "psi.csv", "--csv-segments", segments)
    psi = read_csv(tmp_path / "psi.csv")
    with xr.open_dataset(tmp_path / "run.nc") as ds:
        columns = [int(s) for s in segments.split(",")]
        assert np.array_equal(ds.position.values[:, columns], psi[:, 2:])
        assert np.array_equal(ds.time.values, psi[:, 1])
        assert ds.position.attrs["units"] == "m"
        attrs = ds.attrs
    assert attrs["Conventions"] == "CF-1.10"
    assert re.fullmatch(r"velarion-batch \d+\.\d+(\.\d+)?", attrs["source"])
    # The boxes as they were typed, under the run's locale.
    assert attrs["box_TP"] == "1,5"
    assert attrs["box_TV0"] == "2,25"
    assert attrs["box_CLogFile"] == "1"
    assert attrs["P"] == 15000.0
    assert attrs["threads"] == 2
    assert attrs["kernel"]
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", attrs["date"])
    assert attrs["history"] == (
        f"{attrs['date']}: velarion-batch --locale it_IT --box TP=1,5 --box TV0=2,25 "
        f"--threads 2 --results run.nc --csv psi.csv --csv-segments {segments}")


def test_ncdump_shows_the_provenance_and_units(tmp_path):
    batch(tmp_path, "--box", "CLogFile=0", "--run", "girotondo", "--box", "TP=1",
          "--results", "g.nc")
    header = subprocess.run(["ncdump", "-h", "g.nc"], cwd=tmp_path, check=True,
                            capture_output=True, text=True).stdout
    for line in (':Conventions = "CF-1.10" ;', ':run = "girotondo" ;',
                 ':history = "', ' --run girotondo --box TP=1 --results g.nc" ;',
                 'position:units = "m" ;', 'time:units = "s" ;',
                 'total_energy:units = "J m-2" ;', 'max_stress:units = "Pa" ;',
                 ':box_TP = "1" ;', ':box_CLogFile = "0" ;'):
        assert line in header, line
    # The Girotondo run keeps its envelope for the file.
    assert "double min_stress(segment) ;" in header


def test_the_decimal_run_keeps_its_texts_with_the_decimal_point(tmp_path):
    batch(tmp_path, "--locale", "it_IT", "--run", "precision", "--box", "CLogFile=0", "--box",
          "TINDICE_MATRICE2=10", "--box", "TP=1", "--box", "Tnitertemp=5", "--box",
          "TINDICE_MATRICE1=5", "--results", "p.nc")
    with xr.open_dataset(tmp_path / "p.nc") as ds:
        texts = ds.position_text.values
        assert texts.shape == (6, 11)
        assert "," not in "".join(texts.ravel())
        assert float(texts[5, 3]) == ds.position.values[5, 3]
        assert ds.attrs["run"] == "precision"
