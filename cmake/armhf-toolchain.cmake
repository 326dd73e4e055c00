# Cross build for 32-bit ARM (armhf), the device's ABI: 4-byte pointers, 8-byte aligned doubles.
#
#   cmake -S . -B build/arm -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
#
# Compiler and C library: Debian's cross toolchain (g++-arm-linux-gnueabihf). The armhf builds of
# gflags, GoogleTest and Google Benchmark, and the Eigen and GLM headers, are Debian's packages
# unpacked into SOLVO_ARMHF_ROOT (scripts/setup.sh --arm does it): the armhf gflags package cannot
# be installed beside the host's, so the whole set lives in this one root, apart from the host.
# Programs run under qemu-arm, through CTest and gtest_discover_tests alike.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
# GCC notes that passing some structures changed in GCC 7.1: nothing here links older objects.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)

if(NOT SOLVO_ARMHF_ROOT)
  if(DEFINED ENV{SOLVO_ARMHF_ROOT})
    set(SOLVO_ARMHF_ROOT "$ENV{SOLVO_ARMHF_ROOT}" CACHE PATH "Unpacked armhf libraries")
  else()
    set(SOLVO_ARMHF_ROOT /opt/solvo-armhf CACHE PATH "Unpacked armhf libraries")
  endif()
endif()
if(NOT EXISTS ${SOLVO_ARMHF_ROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  message(FATAL_ERROR "no armhf libraries in ${SOLVO_ARMHF_ROOT}: run scripts/setup.sh --arm")
endif()
# try_compile projects re-read this file; hand them the same root.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SOLVO_ARMHF_ROOT)

set(_solvo_cross_libc /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH ${SOLVO_ARMHF_ROOT} ${_solvo_cross_libc})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the dynamic loader and C library of the cross toolchain; LD_LIBRARY_PATH: the unpacked
# shared libraries (gflags, benchmark), also for programs whose installed RPATH is empty.
find_program(SOLVO_QEMU_ARM qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${SOLVO_QEMU_ARM} -L ${_solvo_cross_libc}
    -E LD_LIBRARY_PATH=${SOLVO_ARMHF_ROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
