#!/bin/sh
# Installs, from Debian's registry, whatever the build and the tests need and the machine
# lacks. Run as root on Debian 12; does nothing when everything is present.
set -eu

packages="g++ clang libclang-rt-14-dev cmake make libgtest-dev libbenchmark-dev libeigen3-dev
openjdk-17-jdk-headless junit5 libunivocity-parsers-java libpicocli-java libjfreechart-java
libjfreesvg-java libgoogle-gson-java libjsoup-java fontconfig fonts-dejavu-core chromium"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing="$missing $package"
  fi
done

if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi
