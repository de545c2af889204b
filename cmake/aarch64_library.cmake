# libtallowmere.so for linux-aarch64, packed into the jar beside this machine's, and the engine's
# tests for that machine, which run here under qemu-aarch64. A CMake build has one C++ compiler,
# so they come from a build of this source tree of their own (build/aarch64 in the default
# preset), made with Debian's cross compiler and the same flags, version script and sources.
# That build compiles against this JDK's JNI headers (jni_md.h of linux-x86_64 and of
# linux-aarch64 are the same file) and the header generated from the classes here.
include(ExternalProject)

# cmake/aarch64_choice.cmake has found the cross compiler, qemu-aarch64 and what the tests need.

set(TALLOWMERE_AARCH64_DIR ${PROJECT_BINARY_DIR}/aarch64 CACHE INTERNAL
    "Build directory of the linux-aarch64 library and tests")
set(TALLOWMERE_AARCH64_LIBRARY ${TALLOWMERE_AARCH64_DIR}/libtallowmere.so CACHE INTERNAL
    "libtallowmere.so for linux-aarch64")
get_target_property(tallowmere_generated_headers tallowmere_native_headers
                    INTERFACE_INCLUDE_DIRECTORIES)
set(tallowmere_jni_include_dirs ${JNI_INCLUDE_DIRS} ${tallowmere_generated_headers})
list(REMOVE_DUPLICATES tallowmere_jni_include_dirs)

ExternalProject_Add(tallowmere_aarch64
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${TALLOWMERE_AARCH64_DIR}
  CMAKE_CACHE_ARGS
    -DCMAKE_TOOLCHAIN_FILE:FILEPATH=${PROJECT_SOURCE_DIR}/cmake/aarch64-linux-gnu.cmake
    -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
    -DTALLOWMERE_JAVA:BOOL=OFF
    -DTALLOWMERE_BENCHMARKS:BOOL=OFF
    -DTALLOWMERE_TESTS:BOOL=${TALLOWMERE_TESTS}
    -DTALLOWMERE_JNI_INCLUDE_DIRS:STRING=${tallowmere_jni_include_dirs}
    -DEigen3_DIR:PATH=${Eigen3_DIR}
  INSTALL_COMMAND ""
  # Its own make decides what is out of date.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${TALLOWMERE_AARCH64_LIBRARY}
  DEPENDS tallowmere_classes)
