#!/bin/sh
# Installs what is missing, then builds and runs every test through ctest: the release build
# (engine and argument-check tests, and the JNI library's tests in real JVMs, plainly and under
# -Xcheck:jni, the database sources' against real servers started for them; the linux-aarch64
# library and its tests under qemu), the same C++ tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (a JVM cannot load a sanitized library, so that
# build leaves the Java parts out), and a bounded, fixed-seed libFuzzer run over the argument
# checks and the engine (clang, both sanitizers).
set -eu
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh
jobs=$(nproc)

# The Java tests of database sources analyse tables in a ClickHouse cluster of two shards and a
# PostgreSQL server on the loopback, started here on free ports and stopped when the script ends,
# however it ends; they find them through the environment the start writes.
databases=$(mktemp -d /tmp/tallowmere-databases.XXXXXX)
trap 'scripts/databases.sh stop "$databases"' EXIT
trap 'exit 1' INT TERM HUP
scripts/databases.sh start "$databases"
# shellcheck disable=SC1091
. "$databases/environment"

# A plain configure leaves the aarch64 library out where its toolchain is missing; here it must
# be built and tested, and a missing piece is an error rather than a silent skip.
cmake --preset default -DTALLOWMERE_AARCH64=ON
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz
