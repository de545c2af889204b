#!/bin/sh
# Runs the result-bits program of this machine, then the command that follows (the same program
# of another machine, under its emulator), and fails unless both print the same lines.
set -eu
native=$1
shift
here=$(mktemp)
there=$(mktemp)
trap 'rm -f "$here" "$there"' EXIT

"$native" >"$here"
"$@" >"$there"
if [ ! -s "$here" ] || ! cmp -s "$here" "$there"; then
  echo "result bits differ (< this machine, > the other):"
  diff "$here" "$there" || true
  exit 1
fi
echo "$(wc -l <"$here") analyses, the same result bits on both machines"
