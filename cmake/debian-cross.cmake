# What the ARM toolchain files share: Debian's cross compiler for a target triplet, the target's
# libraries unpacked by scripts/setup.sh into a root of their own, and qemu to run the programs.
#
#   solvo_debian_cross(TRIPLET arm-linux-gnueabihf ROOT_VARIABLE SOLVO_ARMHF_ROOT
#                      DEFAULT_ROOT /opt/solvo-armhf EMULATOR qemu-arm SETUP_OPTION --arm)
#
# The compiler is TRIPLET-gcc and TRIPLET-g++, its C library and dynamic loader are in
# /usr/TRIPLET; gflags, GoogleTest, Google Benchmark, Eigen and GLM come from the root named by
# the cache variable ROOT_VARIABLE (or the environment variable of that name; DEFAULT_ROOT
# otherwise). Programs run under EMULATOR, through CTest and gtest_discover_tests alike.
#
# A macro, not a function: it sets the toolchain's variables in the including file's scope.
macro(solvo_debian_cross)
  cmake_parse_arguments(_solvo_cross "" "TRIPLET;ROOT_VARIABLE;DEFAULT_ROOT;EMULATOR;SETUP_OPTION"
                        "" ${ARGN})
  set(_solvo_triplet ${_solvo_cross_TRIPLET})
  set(_solvo_root_variable ${_solvo_cross_ROOT_VARIABLE})

  set(CMAKE_SYSTEM_NAME Linux)
  set(CMAKE_LIBRARY_ARCHITECTURE ${_solvo_triplet})
  set(CMAKE_C_COMPILER ${_solvo_triplet}-gcc)
  set(CMAKE_CXX_COMPILER ${_solvo_triplet}-g++)
  # GCC notes that passing some structures changed in GCC 7.1 (32-bit ARM) and 9.1 (64-bit ARM):
  # nothing here links objects built by older compilers.
  set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)

  if(NOT ${_solvo_root_variable})
    if(DEFINED ENV{${_solvo_root_variable}})
      set(${_solvo_root_variable} "$ENV{${_solvo_root_variable}}"
          CACHE PATH "Unpacked ${_solvo_triplet} libraries")
    else()
      set(${_solvo_root_variable} ${_solvo_cross_DEFAULT_ROOT}
          CACHE PATH "Unpacked ${_solvo_triplet} libraries")
    endif()
  endif()
  set(_solvo_root ${${_solvo_root_variable}})
  if(NOT EXISTS ${_solvo_root}/usr/lib/${_solvo_triplet})
    message(FATAL_ERROR "no ${_solvo_triplet} libraries in ${_solvo_root}: "
                        "run scripts/setup.sh ${_solvo_cross_SETUP_OPTION}")
  endif()
  # try_compile projects re-read the toolchain file; hand them the same root.
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${_solvo_root_variable})

  # The linker looks for the libraries a linked shared library needs in turn (libgflags behind
  # libsolvo_support_api) only in the host's folders unless told where the target's ones are.
  set(_solvo_rpath_link
      "-Wl,-rpath-link,${_solvo_root}/usr/lib/${_solvo_triplet} -Wl,-rpath-link,${_solvo_root}/lib/${_solvo_triplet}")
  set(CMAKE_EXE_LINKER_FLAGS_INIT "${_solvo_rpath_link}")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_solvo_rpath_link}")

  set(_solvo_cross_libc /usr/${_solvo_triplet})
  set(CMAKE_FIND_ROOT_PATH ${_solvo_root} ${_solvo_cross_libc})
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

  # The JNI library of the Java binding builds here too, but a JVM does not run under the
  # emulator and the headers are searched only inside the target's root: the JNI headers are the
  # same on every Linux architecture (jni_md.h sizes jlong from the compiler's own macros), so
  # the cross builds take the host JDK's include folders. Debian's default-jdk links its JDK at
  # /usr/lib/jvm/default-java; SOLVO_HOST_JDK names another.
  if(NOT SOLVO_HOST_JDK)
    set(SOLVO_HOST_JDK /usr/lib/jvm/default-java)
  endif()
  if(EXISTS ${SOLVO_HOST_JDK}/include/jni.h AND EXISTS ${SOLVO_HOST_JDK}/include/linux/jni_md.h)
    set(SOLVO_JNI_INCLUDE_DIRS ${SOLVO_HOST_JDK}/include ${SOLVO_HOST_JDK}/include/linux)
  endif()

  # -L: the dynamic loader and C library of the cross toolchain; LD_LIBRARY_PATH: the unpacked
  # shared libraries (gflags, benchmark), also for programs whose installed RPATH is empty.
  # (SOLVO_QEMU_ARM for qemu-arm, SOLVO_QEMU_AARCH64 for qemu-aarch64.)
  string(TOUPPER "SOLVO_${_solvo_cross_EMULATOR}" _solvo_emulator_variable)
  string(REPLACE "-" "_" _solvo_emulator_variable ${_solvo_emulator_variable})
  find_program(${_solvo_emulator_variable} ${_solvo_cross_EMULATOR} REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${${_solvo_emulator_variable}} -L ${_solvo_cross_libc}
      -E LD_LIBRARY_PATH=${_solvo_root}/usr/lib/${_solvo_triplet})
endmacro()
