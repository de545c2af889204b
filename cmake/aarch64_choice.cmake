# Whether this build makes the linux-aarch64 library as well (cmake/aarch64_library.cmake) and
# sets TALLOWMERE_BUILD_AARCH64 accordingly. That library needs Debian's cross compiler, and its
# tests need qemu-aarch64, GoogleTest's sources and the arm64 JRE that
# scripts/install-dependencies.sh unpacks. With TALLOWMERE_AARCH64=AUTO, the default, a machine
# without them still configures, with a jar of its own library alone and a note that says why;
# ON insists and stops when something is missing; OFF leaves it out.

set(TALLOWMERE_AARCH64_JRE /opt/tallowmere-arm64-jre CACHE PATH
    "Tree of Debian's arm64 JRE, unpacked by scripts/install-dependencies.sh")
set(TALLOWMERE_AARCH64_JAVA ${TALLOWMERE_AARCH64_JRE}/usr/lib/jvm/java-17-openjdk-arm64/bin/java)

string(TOUPPER "${TALLOWMERE_AARCH64}" tallowmere_aarch64_choice)
set(TALLOWMERE_BUILD_AARCH64 OFF)

if(tallowmere_aarch64_choice STREQUAL "AUTO")
  # The library goes into the jar: a build without Java has nowhere to put it.
  if(NOT TALLOWMERE_JAVA)
    return()
  endif()
elseif(TALLOWMERE_AARCH64)
  if(NOT TALLOWMERE_JAVA)
    message(FATAL_ERROR
      "TALLOWMERE_AARCH64 packs a library into the jar: it needs TALLOWMERE_JAVA")
  endif()
else()
  if(TALLOWMERE_JAVA)
    message(STATUS "linux-aarch64 library: off (TALLOWMERE_AARCH64=${TALLOWMERE_AARCH64})")
  endif()
  return()
endif()

find_program(TALLOWMERE_AARCH64_CXX aarch64-linux-gnu-g++)
find_program(TALLOWMERE_QEMU_AARCH64 qemu-aarch64)
set(tallowmere_aarch64_missing)
if(NOT TALLOWMERE_AARCH64_CXX)
  list(APPEND tallowmere_aarch64_missing "aarch64-linux-gnu-g++ (Debian's g++-aarch64-linux-gnu)")
endif()
if(NOT TALLOWMERE_QEMU_AARCH64)
  list(APPEND tallowmere_aarch64_missing "qemu-aarch64 (Debian's qemu-user)")
endif()
if(TALLOWMERE_TESTS)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    list(APPEND tallowmere_aarch64_missing
         "GoogleTest's sources in /usr/src/googletest (Debian's googletest)")
  endif()
  if(NOT EXISTS ${TALLOWMERE_AARCH64_JAVA})
    list(APPEND tallowmere_aarch64_missing "Debian's arm64 JRE in ${TALLOWMERE_AARCH64_JRE}")
  endif()
endif()
list(JOIN tallowmere_aarch64_missing ", " tallowmere_aarch64_missing_text)

if(NOT tallowmere_aarch64_missing)
  set(TALLOWMERE_BUILD_AARCH64 ON)
  message(STATUS "linux-aarch64 library: on (${TALLOWMERE_AARCH64_CXX}, "
                 "tests under ${TALLOWMERE_QEMU_AARCH64})")
elseif(tallowmere_aarch64_choice STREQUAL "AUTO")
  message(STATUS "linux-aarch64 library: off, since this machine lacks "
                 "${tallowmere_aarch64_missing_text}. The jar holds this machine's library alone; "
                 "scripts/install-dependencies.sh installs what the cross build needs, and "
                 "-DTALLOWMERE_AARCH64=ON insists on it")
else()
  message(FATAL_ERROR
    "TALLOWMERE_AARCH64=${TALLOWMERE_AARCH64} packs libtallowmere.so for linux-aarch64 into the "
    "jar and tests it under qemu, but this machine lacks ${tallowmere_aarch64_missing_text}: run "
    "scripts/install-dependencies.sh, or configure with -DTALLOWMERE_AARCH64=OFF (or AUTO) for "
    "a jar with this machine's library alone")
endif()
