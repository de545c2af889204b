# Cross-compiling for linux-aarch64 with Debian's cross compiler (g++-aarch64-linux-gnu), whose
# C and C++ runtimes live under /usr/aarch64-linux-gnu. Programs built with it run on this machine
# under qemu-aarch64 (Debian's qemu-user), which finds that loader and those runtimes through -L.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TALLOWMERE_QEMU_AARCH64 qemu-aarch64)
if(TALLOWMERE_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALLOWMERE_QEMU_AARCH64} -L ${CMAKE_FIND_ROOT_PATH})
endif()
