# Installs the build into a scratch prefix, then builds and runs a separate project against it.
# PROGRAM (default solvo-support-example) is the consumer's program, run with PROGRAM_ARG if given;
# with RUN_TWICE its two runs, two processes, must print the same. INSTALLED_PROGRAM, if given, is
# a program of the package itself, run from the prefix with --help. PKG_CONFIG_SOURCE, if given,
# is a C file also compiled with C_COMPILER and the flags pkg-config gives (the run path
# included), and run (native builds only). EXPECT_INSTALLED, if given, lists more files the
# package must hold (the Java binding's).
file(REMOVE_RECURSE ${WORK_DIR})
if(NOT PROGRAM)
  set(PROGRAM solvo-support-example)
endif()
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed: ${command}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/solvo_support_api.h include/solvo_support_version.h
             include/solvo_client_api.h include/solvo_client_api_simulation.h
             lib/cmake/SolvoSupport/SolvoSupportConfig.cmake
             lib/cmake/SolvoSupport/SolvoSupportConfigVersion.cmake
             lib/pkgconfig/solvo_support_api.pc lib/solvo-support/liblog.so
             lib/solvo-support/libsolvo_client_api.so ${EXPECT_INSTALLED})
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The stand-ins carry the device's library names: beside the library they could shadow another
# package's libraries in a shared prefix.
foreach(file lib/liblog.so lib/libsolvo_client_api.so)
  if(EXISTS ${prefix}/${file})
    message(FATAL_ERROR "installed where it could shadow another library: ${file}")
  endif()
endforeach()

set(configure_args -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix})
if(TOOLCHAIN_FILE)
  # A cross build searches packages only inside its target root: name the package's folder.
  list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
       -DSolvoSupport_DIR=${prefix}/lib/cmake/SolvoSupport)
endif()
if(SANITIZE_FLAG)
  # The sanitizer's runtime must come first in the program's libraries: the consumer links it too.
  list(APPEND configure_args -DCMAKE_C_FLAGS=${SANITIZE_FLAG} -DCMAKE_CXX_FLAGS=${SANITIZE_FLAG}
       -DCMAKE_EXE_LINKER_FLAGS=${SANITIZE_FLAG})
endif()
run(${CMAKE_COMMAND} ${configure_args})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
if(RUN_TWICE)
  foreach(round first second)
    execute_process(COMMAND ${EMULATOR} ${WORK_DIR}/build/${PROGRAM} ${PROGRAM_ARG}
                    RESULT_VARIABLE result OUTPUT_VARIABLE ${round}_output)
    message(STATUS "${round} run:\n${${round}_output}")
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "failed: ${PROGRAM} (${round} run)")
    endif()
  endforeach()
  if(NOT first_output STREQUAL second_output)
    message(FATAL_ERROR "two runs of ${PROGRAM} printed different results")
  endif()
else()
  run(${EMULATOR} ${WORK_DIR}/build/${PROGRAM} ${PROGRAM_ARG})
endif()
if(PKG_CONFIG_SOURCE AND NOT TOOLCHAIN_FILE)
  find_program(PKG_CONFIG pkg-config REQUIRED)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  foreach(query cflags libs modversion runpath)
    set(option --${query})
    if(query STREQUAL "runpath")
      set(option --variable=runpath)
    endif()
    execute_process(COMMAND ${PKG_CONFIG} ${option} solvo_support_api RESULT_VARIABLE result
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "pkg-config ${option} solvo_support_api failed")
    endif()
    separate_arguments(pkg_${query} UNIX_COMMAND "${flags}")
  endforeach()
  separate_arguments(sanitize_flags UNIX_COMMAND "${SANITIZE_FLAG}")
  set(pkg_program ${WORK_DIR}/pkg-config-program)
  # The program compares the library's version with the one the package states.
  set(versions -DSOLVO_PACKAGE_VERSION="${pkg_modversion}" -DSOLVO_PC_VERSION="${pkg_modversion}")
  run(${C_COMPILER} -std=c99 ${sanitize_flags} ${versions} ${PKG_CONFIG_SOURCE} ${pkg_cflags}
      -o ${pkg_program} ${pkg_libs} -Wl,-rpath,${pkg_runpath} -pthread)
  run(${pkg_program})
endif()
if(INSTALLED_PROGRAM)
  run(${EMULATOR} ${prefix}/${INSTALLED_PROGRAM} --help)
endif()
