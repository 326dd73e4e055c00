# Cross build for 32-bit ARM (armhf), the device's ABI: 4-byte pointers, 8-byte aligned doubles.
#
#   cmake -S . -B build/arm -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
#
# Compiler and C library: Debian's cross toolchain (g++-arm-linux-gnueabihf). The armhf builds of
# gflags, GoogleTest and Google Benchmark, and the Eigen and GLM headers, are Debian's packages
# unpacked into SOLVO_ARMHF_ROOT (scripts/setup.sh --arm does it): the armhf gflags package cannot
# be installed beside the host's, so the whole set lives in this one root, apart from the host.
# Programs run under qemu-arm, through CTest and gtest_discover_tests alike.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
set(CMAKE_SYSTEM_PROCESSOR arm)
solvo_debian_cross(TRIPLET arm-linux-gnueabihf ROOT_VARIABLE SOLVO_ARMHF_ROOT
                   DEFAULT_ROOT /opt/solvo-armhf EMULATOR qemu-arm SETUP_OPTION --arm)
