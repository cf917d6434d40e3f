#!/usr/bin/env bash
# scripts/slurm-local uses and removes only a directory that its start made
# and marked, and in it only the cluster's own files: a directory of someone
# else's is refused by start and stop alike (status 73), nothing in it
# removed. Needs no Slurm: the refusals come before any daemon.
#
#   slurm_local_test.sh SLURM_LOCAL
set -euo pipefail

slurm_local="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "slurm_local: FAILED: $*" >&2
  exit 1
}
export SLURM_LOCAL_PORT=16917

mkdir "$work/notes"
echo thesis >"$work/notes/t.tex"
echo keep >"$work/afile"
for dir in notes afile; do
  for command in stop start; do
    status=0
    SLURM_LOCAL_DIR="$work/$dir" "$slurm_local" "$command" 2>"$work/err" || status=$?
    [ "$status" = 73 ] || fail "$command on $dir exited $status, not 73: $(cat "$work/err")"
    grep -q 'was not made by scripts/slurm-local start' "$work/err" ||
      fail "$command on $dir said: $(cat "$work/err")"
  done
done
[ "$(cat "$work/notes/t.tex")" = thesis ] || fail "notes/t.tex was touched"
[ "$(cat "$work/afile")" = keep ] || fail "afile was touched"

# A directory that start made keeps a file of someone else's: stop removes
# the cluster's files and leaves the directory with that file.
cluster="$work/cluster"
mkdir -p "$cluster/spool"
printf '# Made by scripts/slurm-local start\nslurm.conf\npids\nspool\n' >"$cluster/.slurm-local"
: >"$cluster/slurm.conf"
: >"$cluster/pids"
echo mine >"$cluster/mine.txt"
SLURM_LOCAL_DIR="$cluster" "$slurm_local" stop 2>"$work/err" || fail "stop failed: $(cat "$work/err")"
[ "$(ls -A "$cluster")" = mine.txt ] || fail "stop left $(ls -A "$cluster" | tr '\n' ' ')"
echo "slurm_local: start and stop touch only their own directory"
