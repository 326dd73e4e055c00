# Warnings, sanitizers and the one-line helpers that add a module's tests and benchmarks.

set(SOLVO_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wfloat-conversion)
if(SOLVO_WERROR)
  list(APPEND SOLVO_WARNINGS -Werror)
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${SOLVO_WARNINGS}>"
                    "$<$<COMPILE_LANGUAGE:C>:-Wall;-Wextra;$<$<BOOL:${SOLVO_WERROR}>:-Werror>>")

if(SOLVO_SANITIZE)
  list(JOIN SOLVO_SANITIZE "," _solvo_sanitizers)
  add_compile_options(-fsanitize=${_solvo_sanitizers} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_solvo_sanitizers})
endif()

# The fuzzers learn from the coverage of the library's own code: every module is instrumented.
if(SOLVO_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "SOLVO_BUILD_FUZZERS needs clang and clang++ (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Test executables re-run the program for death tests (the logging thread makes a plain fork
# unsafe), and may be slow under emulation: give discovery and each test room.
set(SOLVO_TEST_TIMEOUT 300 CACHE STRING "Seconds one test may take")

# solvo_add_test(name source... [LIBS target...])
function(solvo_add_test name)
  if(NOT SOLVO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} solvo::test_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 600
                       PROPERTIES TIMEOUT ${SOLVO_TEST_TIMEOUT})
endfunction()

# solvo_add_benchmark(name source... [LIBS target...])
function(solvo_add_benchmark name)
  if(NOT SOLVO_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark_main)
  set_property(GLOBAL APPEND PROPERTY SOLVO_BENCHMARKS ${name})
endfunction()
