"""Velarion from Python: the runs of the fluid column as xarray Datasets.

    import velarion
    ds = velarion.run(TP=1)                        # the double run, TP 1
    ds.position.sel(segment=0)                     # segment 0 at every stored row

A Dataset holds what a results file holds (``velarion-batch --results``):
the positions over (row, segment) with the level and time of each row, the
energy of every level, the envelope when there is one, and the run, its
outcome, its instability, every box text and the parameters as attributes.
"""

import warnings

import xarray as xr

from . import _velarion

__version__ = _velarion.__version__
__all__ = ["run", "verify", "defaults", "open", "RunError", "InstabilityWarning"]

_RUNS = ("double", "girotondo", "precision")
_FREE_ENDS = ("seed", "restoring")
_LAST_ENDS = ("seed", "restoring", "closed")
_FIRST_ENDS = ("counter-pressure", "closed", "valve")
_COORDINATES = ("segment", "level", "time", "energy_level", "energy_time")


class RunError(RuntimeError):
    """A run that failed; the message is the run's own."""


class InstabilityWarning(UserWarning):
    """A run whose numbers cannot be trusted: the verdict says from which level and why."""


def defaults():
    """The window's initial box texts under the C locale, and its check boxes."""
    return _velarion.defaults()


def _dataset(result):
    coords, data_vars = {}, {}
    for name, (dims, values, attrs) in result["variables"].items():
        target = coords if name in _COORDINATES else data_vars
        target[name] = xr.Variable(dims, values, attrs)
    return xr.Dataset(data_vars, coords=coords, attrs=result["attrs"])


def _progress_bar(enabled, total):
    if not enabled:
        return None, None
    try:
        from tqdm.auto import tqdm
    except ImportError:
        return None, None
    bar = tqdm(total=total, unit="level")

    def advance(level, _fraction):
        bar.update(int(level) - bar.n)

    return bar, advance


def _model(free_end, first_end, closing_time, last_end, friction):
    """The ends and the friction as the extension takes them, checked."""
    if free_end not in _FREE_ENDS:
        raise ValueError(f"free_end must be one of {', '.join(_FREE_ENDS)}, not {free_end!r}")
    if last_end is None:
        last_end = free_end
    elif last_end not in _LAST_ENDS:
        raise ValueError(f"last_end must be one of {', '.join(_LAST_ENDS)}, not {last_end!r}")
    elif free_end != "seed" and last_end != free_end:
        raise ValueError("free_end and last_end name the same end: give one")
    if first_end not in _FIRST_ENDS:
        raise ValueError(f"first_end must be one of {', '.join(_FIRST_ENDS)}, not {first_end!r}")
    if (first_end == "valve") != (closing_time is not None):
        raise ValueError('closing_time goes with first_end="valve", which needs it')
    if closing_time is not None and not closing_time > 0:
        raise ValueError(f"closing_time must be a number of seconds above 0, not {closing_time!r}")
    if not friction >= 0:
        raise ValueError(f"friction must be a number of 0 or more, not {friction!r}")
    return {"last_end": last_end, "first_end": first_end,
            "closing_time": float(closing_time or 0), "friction": float(friction)}


def _call_text(run, free_end, threads, boxes, model=None):
    parts = [f"run={run!r}", f"free_end={free_end!r}"]
    if threads is not None:
        parts.append(f"threads={threads!r}")
    for name, seed in (("first_end", "counter-pressure"), ("closing_time", 0.0),
                       ("friction", 0.0)):
        if model is not None and model[name] != seed:
            parts.append(f"{name}={model[name]!r}")
    if model is not None and model["last_end"] != free_end:
        parts.append(f"last_end={model['last_end']!r}")
    parts += [f"{name}={value!r}" for name, value in boxes.items()]
    return "velarion.run(" + ", ".join(parts) + ")"


def run(run="double", free_end="seed", threads=None, *, first_end="counter-pressure",
        closing_time=None, last_end=None, friction=0.0, log_file=None, results=None,
        envelope=False, progress=False, **boxes):
    """Runs the model on the window's initial boxes changed by ``boxes``.

    ``run`` is "double", "girotondo" or "precision"; ``free_end`` "seed" or
    "restoring"; ``threads`` the threads the run's segments are shared between
    (by default the free cores on a row long enough to gain from them).
    Water hammer: ``first_end`` "counter-pressure" (the default), "closed"
    (a valve shut at t = 0) or "valve" with its ``closing_time`` in seconds;
    ``last_end`` "seed", "restoring" (a reservoir) or "closed" (a dead end),
    in place of ``free_end``; ``friction`` the Darcy-Weisbach factor f. Boxes
    by control name (``TP=1``, ``TN=100``, ``CLogFile=False``): numbers as
    Python numbers, texts read under the C locale. Nothing is written unless
    asked: ``log_file`` for LogFile.txt, ``results`` for a results file. The
    Girotondo run keeps its envelope with ``envelope=True``; ``progress=True``
    draws a tqdm bar when tqdm is installed.

    The run releases the GIL. Ctrl-C stops it at the next pump point, as STOP
    does, and raises KeyboardInterrupt. A failed run raises RunError with the
    run's message; an unstable one warns with InstabilityWarning.
    """
    if run not in _RUNS:
        raise ValueError(f"run must be one of {', '.join(_RUNS)}, not {run!r}")
    model = _model(free_end, first_end, closing_time, last_end, friction)
    if threads is not None and (not isinstance(threads, int) or threads < 1):
        raise ValueError(f"threads must be a whole number from 1, not {threads!r}")
    total = boxes.get("Tnitertemp", defaults()["Tnitertemp"])
    bar, advance = _progress_bar(progress, float(total))
    try:
        result = _velarion.run(run, model, threads, boxes, log_file,
                               None if results is None else str(results), envelope, advance,
                               _call_text(run, free_end, threads, boxes, model))
    finally:
        if bar is not None:
            bar.close()
    if result["outcome"] == "failed":
        raise RunError(result["message"])
    if "instability" in result:
        warnings.warn(result["instability"], InstabilityWarning, stacklevel=2)
    return _dataset(result)


def verify(free_end="seed", *, first_end="counter-pressure", closing_time=None, last_end=None,
           friction=0.0, **boxes):
    """The tables of ``velarion-batch --verify`` for these boxes, as a Dataset.

    The ends and the friction as for ``run``.
    Over the dimension ``grid`` (the case and two refinements): segments,
    DeltaT, levels, the compared levels, the largest and RMS error against
    the exact solution, and the two peaks; as attributes the observed orders,
    why the exact comparison does not apply (when it does not), and the grid
    convergence index of each peak. Raises ValueError when nothing can be
    verified (a Courant number above 1, an unstable grid).
    """
    tables = _velarion.verify(_model(free_end, first_end, closing_time, last_end, friction),
                              boxes)
    grids = tables["grids"]
    data = {name: ("grid", [g[name] for g in grids])
            for name in ("segments", "DeltaT", "levels", "compared_levels", "largest_error",
                         "rms_error", "peak_stress", "peak_displacement")}
    attrs = {"refinement_ratio": tables["ratio"],
             "exact_refusal": tables["exact_refusal"], "exact_note": tables["exact_note"],
             "largest_order": tables["largest_order"], "rms_order": tables["rms_order"]}
    for quantity in ("stress", "displacement"):
        index = tables[quantity]
        for key in ("order", "extrapolated", "gci", "why"):
            attrs[f"{quantity}_{key}"] = index[key]
        attrs[f"{quantity}_exact"] = float("nan") if index["exact"] is None else index["exact"]
    return xr.Dataset(data, coords={"grid": ["case", "refinement 1", "refinement 2"]},
                      attrs=attrs)


def open(path):  # noqa: A001 - the name the package promises
    """A saved results file as a Dataset, the same as xarray.open_dataset gives
    (the decimal run's texts included), loaded into memory. Raises ValueError
    for a file that is not a Velarion results file."""
    _velarion.check_results_file(str(path))
    with xr.open_dataset(path) as ds:
        return ds.load()
