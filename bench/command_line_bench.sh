#!/bin/bash
# The command line at scale against itself before this branch's reading and writing, and against
# the Python route (bench/python_route.py): N = 10^6 with the default heap, plots and report on,
# and N = 10^7 with -Xmx2g; each phase's time from the command's own progress lines, wall and
# processor time and peak resident memory (CommandLineBench), and for Python the same from GNU
# time (Debian's /usr/bin/python3, with python3-pandas and python3-scipy); and for each file the
# floor of reading it (cat FILE > /dev/null, from the page cache) beside the command line's rate
# (the file's size over its reading phase). The files are made once (M = 20 columns of K = 6
# labels, 2 % empty cells, fixed seed).
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

megabytes() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1e6 }'; }

# The floor of reading: the file from the page cache into nothing, as cat does it.
floor() {  # file
  local file=$1 mb seconds
  mb=$(megabytes "$file")
  cat "$file" > /dev/null
  for r in 1 2 3; do
    seconds=$( { TIMEFORMAT=%R; time cat "$file" > /dev/null; } 2>&1 )
    awk -v mb="$mb" -v s="$seconds" -v f="$(basename "$file")" \
        'BEGIN { printf "== floor, %s: cat FILE > /dev/null %.3f s, %.0f MB/s\n", f, s, mb / s }'
  done
}

# Every run starts on a quiet machine: the last run's output removed and the kernel's writing back
# of its files (690 MB at 10^7) finished, which would otherwise take processor time from the next
# run and make it replace files still being written (ext4 then writes them out at the rename).
quiet() {
  rm -rf "$work/out" "$work/python-objects.csv"
  sync
  sleep 1
}

run() {  # label jar heap file
  local label=$1 jar=$2 heap=$3 file=$4 mb
  mb=$(megabytes "$file")
  for r in $(seq "$runs"); do
    echo "== $label, $(basename "$file"), run $r"
    quiet
    # Reading alone: the file's size over the reading phase (which also builds the analysis).
    java -cp "$root/build/bench/command-line-bench.jar:$jar" CommandLineBench command $heap \
        "$file" -d 3 -o "$work/out" | grep -v '^  [^ 0-9]' | awk -v mb="$mb" '{ print }
          / tallowmere: reading / { printf "  reading alone: %.0f MB/s\n", mb / $5 }'
  done
}

for n in 1000000 10000000; do
  heap=""
  [ $n = 10000000 ] && heap=-Xmx2g
  floor "$work/n$n.csv"
  [ -n "$before" ] && run before "$before" "$heap" "$work/n$n.csv"
  run after "$after" "$heap" "$work/n$n.csv"
  for r in $(seq "$runs"); do
    echo "== python route, n$n.csv, run $r"
    quiet
    /usr/bin/time -f "wall %e s; processor %U s user + %S s system; peak resident memory %M kB" \
        /usr/bin/python3 "$root/bench/python_route.py" "$work/n$n.csv" 3 "$work/python-objects.csv"
  done
done
