#!/usr/bin/env bash
# Sets up, builds and runs the test suite.
#
#   scripts/test.sh                 the host build (build/host)
#   scripts/test.sh --all           every variant CI runs, one after another:
#                                   host, arm, arm64, asan, tsan; then each fuzz target for 30 s
#   scripts/test.sh VARIANT...      the named variants:
#     host   this machine
#     arm    32-bit ARM (the device's ABI), cross-compiled, tests run under qemu-arm
#     arm64  64-bit ARM (aarch64), cross-compiled, tests run under qemu-aarch64
#     asan   AddressSanitizer with leak checking, and UndefinedBehaviorSanitizer (with
#            float-cast-overflow)
#     tsan   ThreadSanitizer
#
# The Java binding builds in every variant but the sanitizers' (a JVM cannot load a sanitized JNI
# library); its tests run in the host variant only.
#
# First every C and C++ file of the checkout (tracked, or new and not ignored) must be formatted
# as the root .clang-format says (clang-format --dry-run -Werror; `clang-format -i FILE` fixes
# one). Each variant builds everything in build/<variant> with -j2, warnings as errors,
# benchmarks included (they build everywhere, none runs here), and runs the whole suite with
# CTest; the last lines sum up the format check and each variant's CTest result and wall time.
# The exit status is non-zero when a file is not formatted, or any variant failed to build or
# pass, or ran another number of tests than the first.
set -euo pipefail
cd "$(dirname "$0")/.."

all_variants=(host arm arm64 asan tsan)
variants=()
fuzz=false
for arg in "$@"; do
  case "$arg" in
    --all) variants+=("${all_variants[@]}"); fuzz=true ;;
    host | arm | arm64 | asan | tsan) variants+=("$arg") ;;
    *) sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
((${#variants[@]})) || variants=(host)

setup_args=()
[[ " ${variants[*]} " == *" arm "* ]] && setup_args+=(--arm)
[[ " ${variants[*]} " == *" arm64 "* ]] && setup_args+=(--arm64)
scripts/setup.sh "${setup_args[@]}"

# Tracked files and new ones that are not ignored; outside a git checkout, every source file.
source_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard -- '*.c' '*.cc' '*.h'
  else
    find common platform tests tools fuzz -name '*.c' -o -name '*.cc' -o -name '*.h'
  fi
}
echo "=== format"
format_status=ok
mapfile -t sources < <(source_files)
if ! clang-format --dry-run -Werror "${sources[@]}"; then
  format_status="not formatted (see above; clang-format -i FILE)"
fi

configure_args() {
  # Stated in full, so that an older cache in build/<variant> cannot change the variant.
  echo "-DSOLVO_WERROR=ON -DSOLVO_BUILD_TESTS=ON -DSOLVO_BUILD_BENCHMARKS=ON"
  case "$1" in
    host) echo "-DSOLVO_SANITIZE=" ;;
    arm) echo "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/armhf-toolchain.cmake -DSOLVO_SANITIZE=" ;;
    arm64) echo "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/aarch64-toolchain.cmake -DSOLVO_SANITIZE=" ;;
    # A JVM cannot load a JNI library built with a sanitizer: no Java binding there.
    asan) echo "-DSOLVO_SANITIZE=address;undefined;float-cast-overflow -DSOLVO_BUILD_JAVA=OFF" ;;
    tsan) echo "-DSOLVO_SANITIZE=thread -DSOLVO_BUILD_JAVA=OFF" ;;
  esac
}

tool_tests='^(SolvoSupportTest\.|installed_package_tools$|java_)'
summaries=()
failed=0
total_passed=0
total_failed=0
total_skipped=0
reference=""
reference_count=0
for variant in "${variants[@]}"; do
  echo "=== $variant"
  start=$SECONDS
  build=build/$variant
  log=$(mktemp)
  status=ok
  # shellcheck disable=SC2046  # the arguments are split on purpose
  if ! cmake -S . -B "$build" $(configure_args "$variant") >/dev/null ||
     ! cmake --build "$build" -j2; then
    status="build failed"
  elif ! ctest --test-dir "$build" --output-on-failure -j2 2>&1 | tee "$log"; then
    status="tests failed"
  fi
  seconds=$((SECONDS - start))
  # "100% tests passed, 0 tests failed out of 42", and one "(Skipped)" line per skipped test.
  result=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" || true)
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log" || true)
  if [[ $result =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    # CTest counts skipped tests among the passed ones.
    total_failed=$((total_failed + BASH_REMATCH[1]))
    total_passed=$((total_passed + BASH_REMATCH[2] - BASH_REMATCH[1] - skipped))
    total_skipped=$((total_skipped + skipped))
    # Every variant runs the same library suite: a test missing from one of them is a failure
    # too. The command-line program's tests are left out of the comparison: it needs a mesh-file
    # library that the ARM roots do not carry, so the ARM variants build without it. So are the
    # Java binding's (java_*): a JVM runs only in the host variant.
    count=$(ctest --test-dir "$build" -N -E "$tool_tests" | sed -n 's/^Total Tests: //p')
    if [[ -z $reference ]]; then
      reference=$variant
      reference_count=$count
    elif ((count != reference_count)) && [[ $status == ok ]]; then
      status="ran $count tests, $reference $reference_count"
    fi
  fi
  rm -f "$log"
  [[ $status == ok ]] || failed=1
  summaries+=("$(printf '%-5s %-50s %3d skipped  %2dm%02ds  %s' "$variant" \
                 "${result:-no tests run}" "$skipped" $((seconds / 60)) $((seconds % 60)) \
                 "$status")")
done

echo
echo "=== summary (variant, CTest result, skipped, wall time of build and tests, status)"
echo "format: ${#sources[@]} C and C++ files, $format_status"
[[ $format_status == ok ]] || failed=1
printf '%s\n' "${summaries[@]}"
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
if $fuzz; then scripts/fuzz.sh || failed=1; fi
exit "$failed"
