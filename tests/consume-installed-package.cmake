# Installs the build into a scratch prefix, then builds and runs a separate project against it.
# PROGRAM (default solvo-support-example) is the consumer's program, run with PROGRAM_ARG if given;
# INSTALLED_PROGRAM, if given, is a program of the package itself, run from the prefix with --help.
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
foreach(file include/solvo_support_api.h include/solvo_client_api.h
             lib/cmake/SolvoSupport/SolvoSupportConfig.cmake
             lib/cmake/SolvoSupport/SolvoSupportConfigVersion.cmake
             lib/pkgconfig/solvo_support_api.pc lib/liblog.so lib/libsolvo_client_api.so)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
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
run(${EMULATOR} ${WORK_DIR}/build/${PROGRAM} ${PROGRAM_ARG})
if(INSTALLED_PROGRAM)
  run(${EMULATOR} ${prefix}/${INSTALLED_PROGRAM} --help)
endif()
