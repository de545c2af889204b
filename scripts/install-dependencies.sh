#!/bin/sh
# Installs, from Debian's registry, whatever the build and the tests need and the machine
# lacks. Run as root on Debian 12; does nothing when everything is present.
set -eu

# The second line is the linux-aarch64 library and its tests: the cross compiler and its binutils,
# GoogleTest's sources to build with it, and qemu-aarch64 to run them here.
packages="g++ clang libclang-rt-14-dev cmake make libgtest-dev libbenchmark-dev libeigen3-dev libspectra-dev
g++-aarch64-linux-gnu binutils-aarch64-linux-gnu googletest qemu-user
openjdk-17-jdk-headless junit5 libunivocity-parsers-java libpicocli-java libjfreechart-java
libjfreesvg-java libgoogle-gson-java libjsoup-java libcommons-math3-java
fontconfig fonts-dejavu-core chromium"

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

# An aarch64 JVM for the Java tests of the aarch64 library under qemu: Debian's arm64 JRE and the
# zlib it needs, unpacked into a tree of their own (the C and C++ runtimes come from the cross
# compiler's). Installed beside the amd64 JDK instead, the two would compete for /usr/bin/java, and
# every shared library of both architectures would have to move to the same version.
arm64_jre=/opt/tallowmere-arm64-jre
if [ ! -x "$arm64_jre/usr/lib/jvm/java-17-openjdk-arm64/bin/java" ]; then
  echo "Unpacking Debian's arm64 JRE into $arm64_jre"
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    dpkg --add-architecture arm64
  fi
  apt-get update -q
  debs=$(mktemp -d)
  chown _apt "$debs" 2>/dev/null || true
  (cd "$debs" && apt-get download -q openjdk-17-jre-headless:arm64 zlib1g:arm64)
  for deb in "$debs"/*.deb; do
    dpkg-deb -x "$deb" "$arm64_jre"
  done
  rm -rf "$debs"
  # The JRE's configuration links point into /etc, where only the package's installation puts it.
  find "$arm64_jre" -type l -lname '/*' | while read -r link; do
    ln -sfn "$arm64_jre$(readlink "$link")" "$link"
  done
fi
