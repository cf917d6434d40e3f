#!/usr/bin/env bash
# A sweep on a real Slurm cluster of this machine (scripts/slurm-local): the
# same three values swept locally and with --slurm --wait must give the same
# summary.csv, row for row. The jobs get no environment from the sweep
# (--export=NONE), so the runs see the C locale while the base file is
# Italian, as on a cluster node.
#
#   slurm_sweep_test.sh VELARION_BATCH SWEEP SLURM_LOCAL
#
# Runs when SLURM_TEST=1, or when Slurm is installed and SLURM_TEST is not 0;
# otherwise it says why and exits 77, which ctest counts as skipped.
set -euo pipefail

batch="$1"
sweep="$2"
slurm_local="$3"

skip() {
  echo "slurm_sweep: skipped: $*"
  exit 77
}
fail() {
  echo "slurm_sweep: FAILED: $*" >&2
  exit 1
}

case "${SLURM_TEST:-}" in
  1) ;;
  0) skip "SLURM_TEST=0" ;;
  *)
    for program in sbatch slurmctld slurmd munged; do
      command -v "$program" >/dev/null ||
        skip "$program is not installed (scripts/install-deps --dev installs Slurm; SLURM_TEST=1 makes this a failure)"
    done
    [ "$(id -u)" = 0 ] || skip "the one-machine cluster runs as root (SLURM_TEST=1 makes this a failure)"
    ;;
esac

work="$(mktemp -d)"
# A cluster of its own, beside any that a developer has started.
export SLURM_LOCAL_DIR="$work/cluster" SLURM_LOCAL_PORT=16817
trap '"$slurm_local" stop || true; rm -rf "$work"' EXIT
eval "$("$slurm_local" start)"

cd "$work"
"$batch" --locale it_IT --save-config base.cnf
grep -q '^5,5' base.cnf || fail "base.cnf is not Italian"
unset LC_ALL LC_NUMERIC
export LANG=it_IT.UTF-8 VELARION_BATCH="$batch"
# Two sound values and one whose run fails (P x 10000 overflows): both
# sweeps exit 1.
status=0
"$sweep" -o local base.cnf TP 0 1,5 1e305 || status=$?
[ "$status" = 1 ] || fail "the local sweep exited $status, not 1"
started="$SECONDS"
status=0
"$sweep" --slurm --wait -o on-slurm base.cnf TP 0 1,5 1e305 -- --export=NONE || status=$?
echo "slurm_sweep: the Slurm sweep took $((SECONDS - started)) s"
[ "$status" = 1 ] || fail "the Slurm sweep exited $status, not 1"

[ "$(head -n 1 on-slurm/sweep.sbatch)" = "#!/bin/bash" ] || fail "sweep.sbatch has no #! line"
grep -qx '#SBATCH --array=0-2' on-slurm/sweep.sbatch || fail "sweep.sbatch has no --array=0-2"
for task in 0 1 2; do
  [ -f "on-slurm/slurm/task-$task.out" ] || fail "no output file of task $task"
done
[ "$(grep -c $',0,' local/summary.csv)" = 2 ] || fail "a sound run failed: $(cat local/summary.csv)"
diff local/summary.csv on-slurm/summary.csv || fail "the summaries differ"
echo "slurm_sweep: the summaries agree"

# Options that sbatch refuses leave nothing behind.
status=0
"$sweep" --slurm -o refused base.cnf TP 0 -- --partition=nowhere || status=$?
[ "$status" = 69 ] || fail "a refused submission exited $status, not 69"
[ ! -e refused ] || fail "a refused submission left refused/"

# A summary job cancelled before it started has no output to point to.
"$sweep" --slurm --wait -o held base.cnf TP 0 -- --hold 2>held.err &
sweep_pid=$!
for _ in $(seq 150); do
  grep -q 'summary job' held.err && break
  sleep 0.2
done
jobs_held="$(sed -n 's/.*array job \([0-9]*\); summary job \([0-9]*\).*/\1 \2/p' held.err)"
[ -n "$jobs_held" ] || fail "the held sweep named no jobs: $(cat held.err)"
# shellcheck disable=SC2086
scancel $jobs_held
status=0
wait "$sweep_pid" || status=$?
[ "$status" = 1 ] || fail "a sweep whose summary job was cancelled exited $status, not 1"
grep -q 'the summary job ended CANCELLED without any output' held.err ||
  fail "a cancelled summary job was reported as: $(tail -n 1 held.err)"
