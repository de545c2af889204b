#!/bin/bash
# The command line at scale against itself before this branch's reading and writing, and against
# the Python route (bench/python_route.py): N = 10^6 with the default heap, plots and report on,
# and N = 10^7 with -Xmx2g; each phase's time from the command's own progress lines, wall and
# processor time and peak resident memory (CommandLineBench), and for Python the same from GNU
# time (Debian's /usr/bin/python3, with python3-pandas and python3-scipy). The files are made
# once (M = 20 columns of K = 6 labels, 2 % empty cells, fixed seed).
#
#   bench/command_line_bench.sh [BEFORE_JAR] [RUNS]
#
# BEFORE_JAR is tallowmere.jar built from the commit to compare with (for example the branch
# point: git worktree add /tmp/before COMMIT, then build it with cmake as usual); without it only
# this build and Python run. Every run is repeated RUNS times (default 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
after=$root/build/tallowmere.jar
before=${1:-}
runs=${2:-3}
bench="java -cp $root/build/bench/command-line-bench.jar:$after CommandLineBench"
work=${TMPDIR:-/tmp}/tallowmere-command-line-bench
mkdir -p "$work"
for n in 1000000 10000000; do
  [ -f "$work/n$n.csv" ] || $bench generate "$work/n$n.csv" $n
done

run() {  # label jar heap file
  local label=$1 jar=$2 heap=$3 file=$4
  for r in $(seq "$runs"); do
    echo "== $label, $(basename "$file"), run $r"
    java -cp "$root/build/bench/command-line-bench.jar:$jar" CommandLineBench command $heap \
        "$file" -d 3 -o "$work/out" | grep -v '^  [^ 0-9]'
  done
}

for n in 1000000 10000000; do
  heap=""
  [ $n = 10000000 ] && heap=-Xmx2g
  [ -n "$before" ] && run before "$before" "$heap" "$work/n$n.csv"
  run after "$after" "$heap" "$work/n$n.csv"
  for r in $(seq "$runs"); do
    echo "== python route, n$n.csv, run $r"
    /usr/bin/time -f "wall %e s; processor %U s user + %S s system; peak resident memory %M kB" \
        /usr/bin/python3 "$root/bench/python_route.py" "$work/n$n.csv" 3 "$work/python-objects.csv"
  done
done
