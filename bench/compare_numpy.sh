#!/usr/bin/env bash
# Whole-process times of velarion-batch against the same model written
# plainly in NumPy (numpy_model.py), measured by hyperfine in one run per
# case, with the ratio of the medians:
#   - Girotondo, N = 100, nitertemp = 100, M = 9999;
#   - double run, nitertemp = 5000, M = 10000 (a 400 MB psi), warm (runs
#     back to back) and cold (after a pause of COLD_PAUSE seconds, in which
#     a virtual machine may hand freed memory back to its host).
# Neither side writes a log. Needs hyperfine and python3-numpy.
#   bench/compare_numpy.sh [path/to/velarion-batch]
# RUNS (default 10), COLD_RUNS (5), COLD_PAUSE (5) and PYTHON (the
# system's python3, where python3-numpy installs) may be set.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
batch=$(realpath "${1:-build/src/app/velarion-batch}")
python=${PYTHON:-/usr/bin/python3}
runs=${RUNS:-10}
cold_runs=${COLD_RUNS:-5}
cold_pause=${COLD_PAUSE:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'); load: $(cut -d' ' -f1-3 /proc/loadavg)"

# compare NAME "BATCH ARGUMENTS" "NUMPY ARGUMENTS" HYPERFINE-OPTION...
compare() {
    local name=$1 batch_args=$2 numpy_args=$3
    shift 3
    hyperfine -N "$@" --export-json "$name.json" \
        --command-name "velarion-batch $name" "$batch --box CLogFile=0 $batch_args" \
        --command-name "numpy $name" "$python $here/numpy_model.py $numpy_args"
    "$python" - "$name.json" <<'PY'
import json, sys
batch, numpy = json.load(open(sys.argv[1]))["results"]
print(f"==> {batch['command']}: median {batch['median']:.3f} s, "
      f"{numpy['command']}: median {numpy['median']:.3f} s, "
      f"NumPy / velarion-batch = {numpy['median'] / batch['median']:.2f}\n")
PY
}

girotondo="--run girotondo --box TN=100 --box Tnitertemp=100 --box TINDICE_MATRICE1=100 --box TINDICE_MATRICE2=9999"
double="--run double --box Tnitertemp=5000 --box TINDICE_MATRICE1=5000 --box TINDICE_MATRICE2=10000"

compare girotondo "$girotondo" "girotondo 100 100 9999" --warmup 1 --runs "$runs"
compare double-warm "$double" "double 5000 10000" --warmup 1 --runs "$runs"
compare double-cold "$double" "double 5000 10000" --runs "$cold_runs" --prepare "sleep $cold_pause"
