#!/bin/sh
# Installs what is missing, builds everything with the release preset (build/) and runs the
# demo: a homogeneity analysis of the 1984 US House votes in examples/vote.csv.
set -eu
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

cmake --preset default
cmake --build --preset default -j "$(nproc)"

exec java -Dtallowmere.library=build/libtallowmere.so \
  -cp build/tallowmere.jar:build/vote-demo.jar \
  VoteDemo examples/vote.csv examples/vote.json
