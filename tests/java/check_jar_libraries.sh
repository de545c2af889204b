#!/bin/sh
# Checks the native libraries packed in tallowmere.jar: the jar holds one libtallowmere.so for each
# platform named and no other, and each is an ELF of its platform's machine whose only exported
# symbols are the two JNI entry points, that needs nothing at run time beyond the C and C++
# runtimes (in particular not libjvm, which the JVM that loads it already provides), and that has
# no fused multiply-add instruction (one would round a*b+c once where the other machine rounds
# twice).
# Usage: check_jar_libraries.sh JAR_TOOL JAR PLATFORM...   (PLATFORM: linux-x86_64, linux-aarch64)
set -eu
jar_tool=$1
jar=$(realpath "$2")
shift 2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
(cd "$folder" && "$jar_tool" xf "$jar" native)

fail() {
  echo "$platform: $*"
  exit 1
}

packed=$(cd "$folder" && find native -type f | LC_ALL=C sort | tr '\n' ' ')
expected=$(for platform in "$@"; do echo "native/$platform/libtallowmere.so"; done | LC_ALL=C sort |
  tr '\n' ' ')
platform=jar
[ "$packed" = "$expected" ] || fail "packs $packed instead of $expected"

for platform in "$@"; do
  library=$folder/native/$platform/libtallowmere.so
  case $platform in
    linux-x86_64)
      machine="Advanced Micro Devices X86-64"
      objdump=objdump
      fused='^vf(n)?m(add|sub)'
      ;;
    linux-aarch64)
      machine=AArch64
      objdump=aarch64-linux-gnu-objdump
      fused='^(f(n)?m(add|sub)|fml[as])$'
      ;;
    *) fail "unknown platform" ;;
  esac

  actual=$(readelf -h "$library" | sed -n 's/^ *Machine: *//p')
  [ "$actual" = "$machine" ] || fail "an ELF for $actual"

  exports=$(nm -D --defined-only "$library" | awk '{print $3}' | LC_ALL=C sort | tr '\n' ' ')
  entry_points="Java_Quorvane_Tallowmere_runHomals Java_Quorvane_homals_HomalsNative_analyse"
  entry_points="$entry_points Java_Quorvane_homals_HomalsNative_analyseTables"
  entry_points="$entry_points Java_Quorvane_homals_HomalsNative_project"
  entry_points="$entry_points Java_Quorvane_homals_HomalsNative_scoreRows"
  entry_points="$entry_points Java_Quorvane_homals_cli_PlainRecords_read "
  [ "$exports" = "$entry_points" ] || fail "unexpected exported symbols: $exports"

  for needed in $(readelf -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    case $needed in
      libc.so.* | libm.so.* | libstdc++.so.* | libgcc_s.so.* | ld-linux*) ;;
      *) fail "unexpected dependency: $needed" ;;
    esac
  done

  count=$("$objdump" -d --no-show-raw-insn "$library" |
    awk -F '\t' 'NF >= 2 {split($2, words, " "); print words[1]}' | grep -cE "$fused" || true)
  [ "$count" -eq 0 ] || fail "$count fused multiply-add instructions"
  echo "$platform: $machine, exports, dependencies and arithmetic as expected"
done
