"""import velarion: the runs from Python against velarion-batch, its errors,
warnings, interruption and memory.

Run by ctest with PYTHONPATH at the built package and VELARION_BATCH at the
program (tests/CMakeLists.txt)."""

import _thread
import csv
import gc
import os
import subprocess
import threading
import time
import warnings
from decimal import Decimal

import numpy as np
import pytest
import xarray as xr

import velarion

BATCH = os.environ["VELARION_BATCH"]
COLUMN = {"TINDICE_MATRICE2": 100, "TP": 1}


def batch(tmp_path, *args):
    subprocess.run([BATCH, "--locale", "C", "--box", "CLogFile=0", *args], cwd=tmp_path,
                   check=True, capture_output=True)


def boxes_args(boxes):
    args = []
    for name, value in boxes.items():
        args += ["--box", f"{name}={value}"]
    return args


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], np.array([[float(x) if x else np.nan for x in row] for row in rows[1:]])


@pytest.mark.parametrize("kind,extra", [
    ("double", {"TINDICE_MATRICE1": 300, "Tnitertemp": 300}),
    ("girotondo", {"TINDICE_MATRICE1": 40, "Tnitertemp": 40, "TN": 5}),
])
def test_positions_energy_and_envelope_are_the_batchs_bits(tmp_path, kind, extra):
    boxes = {**COLUMN, **extra}
    segments = ",".join(str(s) for s in range(101))
    batch(tmp_path, "--run", kind, "--free-end", "restoring", *boxes_args(boxes),
          "--csv", "psi.csv", "--csv-segments", segments, "--energy", "e.csv",
          "--envelope", "v.csv")
    ds = velarion.run(kind, "restoring", envelope=True, **boxes)
    _, psi = read_csv(tmp_path / "psi.csv")
    assert np.array_equal(ds.position.values, psi[:, 2:])
    assert np.array_equal(ds.time.values, psi[:, 1])
    _, energy = read_csv(tmp_path / "e.csv")
    for column, name in enumerate(("kinetic_energy", "strain_energy", "work", "total_energy"), 2):
        assert np.array_equal(ds[name].values, energy[:, column]), name
    _, envelope = read_csv(tmp_path / "v.csv")
    for column, name in enumerate(("min_displacement", "max_displacement", "min_stress",
                                   "max_stress"), 1):
        assert np.array_equal(ds[name].values, envelope[:, column], equal_nan=True), name


def test_the_dataset_is_what_its_results_file_holds(tmp_path):
    ds = velarion.run("girotondo", "restoring", TN=10, Tnitertemp=20, TINDICE_MATRICE1=20,
                      envelope=True, results=tmp_path / "run.nc", **COLUMN)
    with xr.open_dataset(tmp_path / "run.nc") as saved:
        xr.testing.assert_identical(ds, saved)
    xr.testing.assert_identical(velarion.open(tmp_path / "run.nc"), ds)
    assert not os.path.exists(tmp_path / "LogFile.txt")


def test_the_decimal_run_keeps_its_texts():
    ds = velarion.run("precision", TINDICE_MATRICE2=10, TP=1, Tnitertemp=5, TINDICE_MATRICE1=5)
    assert ds.attrs["run"] == "precision"
    texts = ds.position_text.values
    assert texts.shape == (6, 11)
    assert float(texts[5, 3]) == ds.position.values[5, 3]
    # The text holds the decimal value itself, which no double does.
    assert Decimal(texts[5, 3]) != Decimal(ds.position.values[5, 3])


def test_boxes_are_checked_before_any_run(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ValueError, match="no box or check box named TQ"):
        velarion.run(TQ=1)
    with pytest.raises(ValueError, match='box TV0: "5,5" is not a number'):
        velarion.run(TV0="5,5")
    with pytest.raises(ValueError, match="box CLogFile is a check box"):
        velarion.run(CLogFile="maybe")
    assert os.listdir(tmp_path) == []


def test_a_failed_run_raises_and_an_unstable_one_warns():
    with pytest.raises(velarion.RunError, match="nitertemp"):
        velarion.run(Tnitertemp=40)  # beyond the 30 rows of psi
    with pytest.warns(velarion.InstabilityWarning, match="seed's free end"):
        velarion.run(TINDICE_MATRICE2=100, Tnitertemp=3000, TINDICE_MATRICE1=3000)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        velarion.run(free_end="restoring", TINDICE_MATRICE2=100, Tnitertemp=3000,
                     TINDICE_MATRICE1=3000)


def test_ctrl_c_stops_a_long_run_at_its_next_pump_point():
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    started = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        # 20000 snapshots of 30 levels of 10000 segments: minutes unless
        # stopped. The restoring end keeps the column finite throughout; the
        # seed's overflows near level 48500, which a loaded machine can
        # reach before the interrupt comes.
        velarion.run("girotondo", free_end="restoring", TN=10, Tnitertemp=20000,
                     TINDICE_MATRICE1=20000)
    # Ten snapshots, 300 levels of 10000 cells, come by in milliseconds.
    assert time.monotonic() - started < 5


def test_verify_gives_the_tables():
    v = velarion.verify(free_end="restoring", TP=1, TINDICE_MATRICE2=100, Tnitertemp=800,
                        TINDICE_MATRICE1=800)
    assert list(v.segments.values) == [101, 202, 404]
    assert v.attrs["rms_order"] > 0.8
    with pytest.raises(ValueError, match="Courant number 1.1 > 1"):
        velarion.verify(TP=1, TDeltaT=4.4e-6)


def test_a_water_hammer_from_python_is_the_batchs(tmp_path):
    boxes = {"TINDICE_MATRICE2": 100, "TINDICE_MATRICE1": 300, "Tnitertemp": 300}
    batch(tmp_path, "--first-end", "valve:0.0002", "--last-end", "closed", "--friction", "0.03",
          *boxes_args(boxes), "--energy", "e.csv", "--csv", "psi.csv", "--csv-segments", "0,50")
    ds = velarion.run(first_end="valve", closing_time=0.0002, last_end="closed", friction=0.03,
                      **boxes)
    assert (ds.attrs["first_end"], ds.attrs["free_end"]) == ("valve", "closed")
    assert (ds.attrs["closing_time"], ds.attrs["friction"]) == (0.0002, 0.03)
    header, energy = read_csv(tmp_path / "e.csv")
    assert header[-2:] == ["dissipated", "valve_work"]
    assert np.array_equal(ds.dissipated_energy.values, energy[:, 6])
    assert np.array_equal(ds.valve_work.values, energy[:, 7])
    _, psi = read_csv(tmp_path / "psi.csv")
    assert np.array_equal(ds.position.sel(segment=50).values, psi[:, 3])
    for wrong, match in ((dict(first_end="valve"), "closing_time"),
                         (dict(closing_time=0.1), "closing_time"),
                         (dict(last_end="sideways"), "last_end"),
                         (dict(free_end="restoring", last_end="closed"), "same end"),
                         (dict(friction=-1), "friction")):
        with pytest.raises(ValueError, match=match):
            velarion.run(**wrong, **boxes)
    with pytest.raises(velarion.RunError, match="P must be 0"):
        velarion.run(first_end="closed", TP=1, **boxes)


def rss_kib():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def test_memory_comes_back_after_many_runs():
    for _ in range(20):
        velarion.run(TINDICE_MATRICE1=300, Tnitertemp=300, TP=1)
    gc.collect()
    before = rss_kib()
    for _ in range(200):
        velarion.run(TINDICE_MATRICE1=300, Tnitertemp=300, TP=1)
    gc.collect()
    # 200 runs of 24 MB each would hold 4.8 GB if one were kept.
    assert rss_kib() - before < 50 * 1024
