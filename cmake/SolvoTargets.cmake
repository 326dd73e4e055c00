# Warnings, sanitizers and the one-line helpers that add a module's tests and benchmarks.

set(SOLVO_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wfloat-conversion)
if(SOLVO_WERROR)
  list(APPEND SOLVO_WARNINGS -Werror)
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${SOLVO_WARNINGS}>"
                    "$<$<COMPILE_LANGUAGE:C>:-Wall;-Wextra;$<$<BOOL:${SOLVO_WERROR}>:-Werror>>")
# Results are fixed to the last bit on every target: never fuse a multiply and an add into one
# rounding, even where a vector unit (or a function's target attribute) offers it.
add_compile_options(-ffp-contract=off)

# SOLVO_SANITIZE: "address;undefined" (leaks included), optionally with float-cast-overflow (an
# out-of-range float to integer conversion, undefined too but not part of "undefined"), or
# "thread". Everything is built with it, the test executables and the shared library alike;
# SOLVO_SANITIZE_FLAG is also what a program built against the library must link with, so that
# the sanitizer's runtime comes first.
set(SOLVO_SANITIZE_FLAG "")
if(SOLVO_SANITIZE)
  foreach(sanitizer IN LISTS SOLVO_SANITIZE)
    if(NOT sanitizer MATCHES "^(address|undefined|float-cast-overflow|leak|thread)$")
      message(FATAL_ERROR "SOLVO_SANITIZE: unknown sanitizer '${sanitizer}'")
    endif()
  endforeach()
  if("thread" IN_LIST SOLVO_SANITIZE AND ("address" IN_LIST SOLVO_SANITIZE OR
                                          "leak" IN_LIST SOLVO_SANITIZE))
    message(FATAL_ERROR "SOLVO_SANITIZE: thread cannot be combined with address or leak")
  endif()
  list(JOIN SOLVO_SANITIZE "," sanitizers)
  set(SOLVO_SANITIZE_FLAG -fsanitize=${sanitizers})
  # Every finding ends the program with a failure, undefined behaviour included.
  add_compile_options(${SOLVO_SANITIZE_FLAG} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(${SOLVO_SANITIZE_FLAG})
endif()

# The fuzzers learn from the coverage of the library's own code: every module is instrumented.
if(SOLVO_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "SOLVO_BUILD_FUZZERS needs clang and clang++ (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Test executables re-run the program for death tests (the logging thread makes a plain fork
# unsafe), and may be slow under emulation or a sanitizer: give discovery and each test room.
set(SOLVO_TEST_TIMEOUT 300 CACHE STRING "Seconds one test may take")

# solvo_add_test(name source... [LIBS target...])
function(solvo_add_test name)
  if(NOT SOLVO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} solvo::test_main)
  set(properties TIMEOUT ${SOLVO_TEST_TIMEOUT})
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    # The emulated program cannot re-run itself (see test-main.cc): death tests fork instead.
    list(APPEND properties ENVIRONMENT GTEST_DEATH_TEST_STYLE=fast)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 600 PROPERTIES ${properties})
endfunction()

# solvo_add_benchmark(name source... [LIBS target...])
function(solvo_add_benchmark name)
  if(NOT SOLVO_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} solvo::benchmark_support benchmark::benchmark_main)
  set_property(GLOBAL APPEND PROPERTY SOLVO_BENCHMARKS ${name})
  # Benchmarks run only by hand, but every build checks that each one registers its cases (one
  # registered in an initialiser that runs too early lists nothing).
  if(SOLVO_BUILD_TESTS)
    add_test(NAME ${name}_lists_its_cases COMMAND ${name} --benchmark_list_tests)
    set_tests_properties(${name}_lists_its_cases PROPERTIES PASS_REGULAR_EXPRESSION "(^|\n)BM_")
  endif()
endfunction()
