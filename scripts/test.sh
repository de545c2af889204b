#!/bin/sh
# Installs what is missing, then builds and runs every test through ctest: the release build
# (engine and argument-check tests, and the JNI library's tests in real JVMs, plainly and under
# -Xcheck:jni), the same C++ tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# (a JVM cannot load a sanitized library, so that build leaves the Java parts out), and a
# bounded, fixed-seed libFuzzer run over the argument checks and the engine (clang, both
# sanitizers).
set -eu
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz
