#!/usr/bin/env bash
# Whole-process times of velarion-batch against the same model written
# plainly by a user, measured by hyperfine in one run, each case a ratio of
# the medians:
#   - Girotondo, N = 100, nitertemp = 100, M = 9999, against NumPy
#     (numpy_model.py);
#   - double run, nitertemp = 5000, M = 10000 (a 400 MB psi), against NumPy,
#     warm (runs back to back) and cold (after a pause of COLD_PAUSE
#     seconds, in which a virtual machine may hand freed memory back to its
#     host);
#   - decimal run, TP = 1, nitertemp = 100, M = 9999, against Python's
#     decimal module (decimal_loop.py);
#   - start-up: velarion-batch --box Tnitertemp=1, against a program that
#     links only QtCore and libgsf and prints one line (startup_floor.cpp).
# Then the ratios in one table. Neither side writes a log. Needs
# hyperfine and python3-numpy.
#   bench/compare_numpy.sh [path/to/velarion-batch [path/to/velarion-startup-floor]]
# RUNS (default 5) runs per command, STARTUP_RUNS (20) for the start-up
# pair, whose runs are short, COLD_RUNS (5; 0 leaves the cold case out),
# COLD_PAUSE (5) and PYTHON (the system's python3, where python3-numpy
# installs) may be set.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
batch=$(realpath "${1:-build/src/app/velarion-batch}")
floor=$(realpath "${2:-build/bench/velarion-startup-floor}")
python=${PYTHON:-/usr/bin/python3}
runs=${RUNS:-5}
startup_runs=${STARTUP_RUNS:-20}
cold_runs=${COLD_RUNS:-5}
cold_pause=${COLD_PAUSE:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cpu="$(lscpu | sed -n 's/^Model name: *//p') ($(nproc) cores)"
echo "CPU: $cpu; load: $(cut -d' ' -f1-3 /proc/loadavg)"

# The decimal run as one whole process: decimal_loop.simulate once, the
# last log value printed.
cat >decimal_run.py <<PY
import sys
sys.path.insert(0, "$here")
import decimal_loop
log, _, _ = decimal_loop.simulate(dict(arg.split("=", 1) for arg in sys.argv[1:]))
print(*log[-1])
PY

# compare NAME "VELARION-BATCH COMMAND" "REFERENCE NAME" "REFERENCE COMMAND" HYPERFINE-OPTION...
# Appends "NAME batch-median reference-median" to summary.
compare() {
    local name=$1 batch_command=$2 reference=$3 reference_command=$4
    shift 4
    hyperfine -N "$@" --export-json "$name.json" \
        --command-name "velarion-batch $name" "$batch_command" \
        --command-name "$reference $name" "$reference_command"
    "$python" - "$name.json" "$name" "$reference" >>summary <<'PY'
import json, sys
batch, reference = json.load(open(sys.argv[1]))["results"]
print(sys.argv[2], sys.argv[3], batch["median"], reference["median"])
PY
}

girotondo="--run girotondo --box TN=100 --box Tnitertemp=100 --box TINDICE_MATRICE1=100 --box TINDICE_MATRICE2=9999"
double="--run double --box Tnitertemp=5000 --box TINDICE_MATRICE1=5000 --box TINDICE_MATRICE2=10000"
decimal="--run precision --locale it_IT --box TP=1 --box Tnitertemp=100 --box TINDICE_MATRICE1=100 --box TINDICE_MATRICE2=9999"

compare girotondo "$batch --box CLogFile=0 $girotondo" NumPy \
    "$python $here/numpy_model.py girotondo 100 100 9999" --warmup 1 --runs "$runs"
compare double "$batch --box CLogFile=0 $double" NumPy \
    "$python $here/numpy_model.py double 5000 10000" --warmup 1 --runs "$runs"
if [ "$cold_runs" -gt 0 ]; then
    compare double-cold "$batch --box CLogFile=0 $double" NumPy \
        "$python $here/numpy_model.py double 5000 10000" --runs "$cold_runs" \
        --prepare "sleep $cold_pause"
fi
compare decimal "$batch --box CLogFile=0 $decimal" "Python decimal" \
    "$python decimal_run.py TP=1 Tnitertemp=100 TINDICE_MATRICE2=9999" --warmup 1 --runs "$runs"
compare start-up "$batch --box Tnitertemp=1 --box CLogFile=0" "QtCore + libgsf" "$floor" \
    --warmup 3 --runs "$startup_runs"

echo
echo "CPU: $cpu; medians of $runs runs ($cold_runs cold, $startup_runs for the start-up)," \
    "one run of hyperfine each"
"$python" - summary <<'PY'
import sys
print(f"{'case':<12} {'velarion-batch':>15} {'reference':>26}   ratio of the medians")
for line in open(sys.argv[1]):
    name, rest = line.split(" ", 1)
    *reference, batch, other = rest.split()
    reference, batch, other = " ".join(reference), float(batch), float(other)
    if name == "start-up":
        ratio = f"velarion-batch / it = {batch / other:.2f}"
    else:
        ratio = f"it / velarion-batch = {other / batch:.2f}"
    print(f"{name:<12} {batch:>13.3f} s {reference:>16} {other:>7.3f} s   {ratio}")
PY
