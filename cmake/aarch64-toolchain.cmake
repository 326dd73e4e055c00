# Cross build for 64-bit ARM (aarch64, Android's arm64-v8a): 8-byte pointers, so the records that
# hold pointers take the platform's natural layout rather than the 32-bit one.
#
#   cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-toolchain.cmake
#
# Compiler and C library: Debian's cross toolchain (g++-aarch64-linux-gnu). The arm64 builds of
# gflags, GoogleTest and Google Benchmark, and the Eigen and GLM headers, are Debian's packages
# unpacked into SOLVO_ARM64_ROOT (scripts/setup.sh --arm64 does it), a root apart from the host's
# and the 32-bit one. Programs run under qemu-aarch64, through CTest and gtest_discover_tests alike.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
solvo_debian_cross(TRIPLET aarch64-linux-gnu ROOT_VARIABLE SOLVO_ARM64_ROOT
                   DEFAULT_ROOT /opt/solvo-arm64 EMULATOR qemu-aarch64 SETUP_OPTION --arm64)
