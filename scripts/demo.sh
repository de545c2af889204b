#!/bin/sh
# Installs what is missing, builds everything with the release preset (build/) and runs the
# demo: a homogeneity analysis of the 1984 US House votes with the command line of
# tallowmere.jar. The 16 votes are active, the party (Class) is passive, two dimensions; the
# results, the plots and report.html go to build/vote-analysis/, and the summary is printed.
set -eu
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

cmake --preset default
cmake --build --preset default -j "$(nproc)"

# The command line's messages go to standard error; it prints nothing on standard output.
java -jar build/tallowmere.jar analyse examples/vote-labelled.csv --passive Class \
  --title "1984 US House votes (party passive)" --output build/vote-analysis

cat build/vote-analysis/summary.txt
echo
echo "Plots: build/vote-analysis/*.png and *.svg; everything in one page:"
echo "build/vote-analysis/report.html"
