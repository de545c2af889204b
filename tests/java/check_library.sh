#!/bin/sh
# Checks libtallowmere.so's interface to the dynamic linker: the two JNI entry points are its
# only exported symbols, and it needs no library beyond the C and C++ runtimes (in particular not
# libjvm, which the JVM that loads it already provides).
set -eu
library=$1

exports=$(nm -D --defined-only "$library" | awk '{print $3}' | LC_ALL=C sort | tr '\n' ' ')
if [ "$exports" != "Java_Quorvane_Tallowmere_runHomals Java_Quorvane_homals_HomalsNative_analyse " ]; then
  echo "unexpected exported symbols:"
  echo "$exports"
  exit 1
fi

for needed in $(readelf -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  case $needed in
    libc.so.* | libm.so.* | libstdc++.so.* | libgcc_s.so.* | ld-linux*) ;;
    *)
      echo "unexpected dependency: $needed"
      exit 1
      ;;
  esac
done
echo "exports and dependencies as expected"
