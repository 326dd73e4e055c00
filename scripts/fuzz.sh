#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build/fuzz and runs each one for a bounded time, one after another.
#
#   scripts/fuzz.sh                       every target for 30 s (what CI runs)
#   scripts/fuzz.sh -t 600                every target for 10 minutes (a local run)
#   scripts/fuzz.sh -t 600 meshes depth   only the named targets:
#                                         poses, depth, buffer_managers, meshes
#
# Each target starts from its seeds in fuzz/corpus/<target>/ and from what earlier runs kept in
# build/fuzz/corpus/<target>/, where new inputs go (seeds worth keeping are copied into fuzz/ by
# hand). An input that crashes, aborts, leaks, trips a sanitizer or fails an output check is saved
# in build/fuzz/artifacts/; replay it with build/fuzz/fuzz/<target>_fuzzer <file>. The last lines
# give each target's executions and coverage; the exit status is non-zero when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(poses depth buffer_managers meshes)
seconds=30
targets=()
while (($#)); do
  case "$1" in
    -t) seconds=$2; shift 2 ;;
    poses | depth | buffer_managers | meshes) targets+=("$1"); shift ;;
    *) sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
((${#targets[@]})) || targets=("${all_targets[@]}")

scripts/setup.sh
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  echo "installing: clang libclang-rt-14-dev llvm"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    clang libclang-rt-14-dev llvm >/dev/null
fi

# Warnings are errors in the gcc builds; clang warns about other things, which stay warnings here.
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DSOLVO_BUILD_FUZZERS=ON \
  "-DSOLVO_SANITIZE=address;undefined;float-cast-overflow" -DSOLVO_WERROR=OFF \
  -DSOLVO_BUILD_TESTS=OFF -DSOLVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzzer}"

mkdir -p "$build/artifacts"
summaries=()
failed=0
for target in "${targets[@]}"; do
  echo "=== $target ($seconds s)"
  corpus=$build/corpus/$target
  log=$build/$target.log
  mkdir -p "$corpus"
  status=ok
  if ! "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$target-" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1
  then
    status=FAILED
    failed=1
    tail -n 60 "$log"
  fi
  # "#123456 DONE cov: 1234 ft: 2345 corp: ..." and "stat::number_of_executed_units: 123456".
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  summaries+=("$(printf '%-16s %10s runs  %-22s %s' "$target" "${runs:-?}" "${coverage:-?}" \
                 "$status")")
done

echo
echo "=== summary (target, executions, edges and features covered, status; logs in $build)"
printf '%s\n' "${summaries[@]}"
exit "$failed"
