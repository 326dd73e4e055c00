#!/usr/bin/env bash
# Builds the benchmarks in Release and runs every one of them, then prints one table.
#
#   scripts/bench.sh                   every benchmark, 5 repetitions each
#   scripts/bench.sh -r 9              9 repetitions each
#   scripts/bench.sh -f Ransac         only the benchmarks whose name matches the regex
#
# The simplification benchmark also reads four scanned meshes (see below).
# The build goes to build/bench (Release, no tests, no sanitizer). Each benchmark runs its
# repetitions and the table shows their medians: the time of our job, its ratio to the baseline
# measured in the same run (the counter whose name starts with "ratio"; below 1 means faster than
# the baseline), the spread of our time over the repetitions (coefficient of variation) and every
# other counter the benchmark reports. The raw results stay in build/bench/results/*.json.
# The compute benchmarks (depth, planes, meshes) time the CPU time of their thread, so that
# other processes sharing the machine do not count; the frame copies time the wall clock. The
# load average before and after the run is printed with the table.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=5
filter=.
while getopts "r:f:h" option; do
  case "$option" in
    r) repetitions=$OPTARG ;;
    f) filter=$OPTARG ;;
    *) sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSOLVO_WERROR=ON -DSOLVO_BUILD_TESTS=OFF \
  -DSOLVO_BUILD_BENCHMARKS=ON -DSOLVO_SANITIZE= >/dev/null
cmake --build "$build" -j2 --target benchmarks

# The scanned meshes of the simplification benchmark come from Debian's libcgal-demo package
# (its data archive, of which only these mesh files are used): without it they are skipped.
meshes=/usr/share/doc/libcgal-dev/data.tar.gz
if [[ -f $meshes ]]; then
  mkdir -p "$build/meshes"
  tar xzf "$meshes" -C "$build/meshes" --strip-components=2 data/meshes/armadillo.off \
    data/meshes/bunny00.off data/meshes/elephant.off data/meshes/ChineseDragon-10kv.off
  export SOLVO_MESH_DATA_DIR=$PWD/$build/meshes
else
  echo "no $meshes (apt-get install libcgal-demo): the scanned meshes are skipped" >&2
fi

results=$build/results
rm -rf "$results"
mkdir -p "$results"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
while read -r executable; do
  [[ -n $executable ]] || continue
  name=$(basename "$executable")
  echo "=== $name" >&2
  "$executable" --benchmark_filter="$filter" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_format=console \
    --benchmark_out_format=json --benchmark_out="$results/$name.json" >&2
done <"$build/benchmarks.txt"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo
echo "=== medians of $repetitions repetitions; load average before: $load_before, after: $load_after"
python3 - "$results"/*.json <<'EOF'
import json
import sys

rows = []
for path in sys.argv[1:]:
    with open(path) as file:
        text = file.read()
    if not text.strip():
        continue  # the filter matched none of this executable's benchmarks
    report = json.loads(text)
    spreads = {}
    for entry in report["benchmarks"]:
        if entry.get("aggregate_name") == "cv":
            spreads[entry["run_name"]] = entry["real_time"]
    for entry in report["benchmarks"]:
        if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") != "median":
            continue
        name = entry["run_name"]
        unit = entry.get("time_unit", "ns")
        value = entry["real_time"]
        time = ("%.0f %s" if value >= 1000 else "%.4g %s") % (value, unit)
        skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads",
                "iterations", "real_time", "cpu_time", "time_unit", "aggregate_name",
                "aggregate_unit", "family_index", "per_family_instance_index", "error_occurred",
                "error_message"}
        counters = {k: v for k, v in entry.items() if k not in skip}
        ratios = [k for k in counters if k.startswith("ratio")]
        ratio = "%.3f" % counters[ratios[0]] if ratios else "-"
        baseline = ratios[0][len("ratio_to_"):] if ratios else "-"
        others = ", ".join("%s=%.5g" % (k, v) for k, v in counters.items()
                           if k not in ratios[:1] and isinstance(v, (int, float)))
        spread = "%.0f%%" % (100 * spreads[name]) if name in spreads else "-"
        if entry.get("error_occurred"):
            others = "ERROR: " + entry.get("error_message", "")
        rows.append((name, time, ratio, baseline, spread, others))

header = ("job", "time", "ratio", "baseline", "cv", "other counters")
widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(5)]
for row in [header] + rows:
    print("  ".join(str(row[i]).ljust(widths[i]) for i in range(5)) + "  " + row[5])
EOF
