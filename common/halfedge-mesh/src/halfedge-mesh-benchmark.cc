// Building a closed mesh of about 200,000 faces from arrays and writing it back.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "benchmark-support/thread-cpu-time.h"
#include "halfedge-mesh/halfedge-mesh.h"
#include "halfedge-mesh/mesh-test-support.h"
#include "test-support/allocation-counter.h"

namespace halfedge_mesh {
namespace {

using benchmark_support::SecondsFor;
using test_support::AllocationCounter;

// The baseline: a plain index-based half-edge build of the same arrays, opposites paired through
// one hash table of directed edges, no repair, no shared elements; then the same export.
void PlainBuildAndExport(const MeshArrays& input, MeshArrays* output) {
  const size_t n_halfedges = 3 * input.faces.size();
  std::vector<uint32_t> from(n_halfedges), next(n_halfedges), opposite(n_halfedges, UINT32_MAX);
  std::vector<uint32_t> out_halfedge(input.vertices.size(), UINT32_MAX);
  std::unordered_map<uint64_t, uint32_t> directed;
  directed.reserve(n_halfedges);
  for (size_t f = 0; f < input.faces.size(); ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t h = static_cast<uint32_t>(3 * f + k);
      from[h] = input.faces[f][k];
      next[h] = static_cast<uint32_t>(3 * f + (k + 1) % 3);
      directed[(uint64_t{from[h]} << 32) | input.faces[f][(k + 1) % 3]] = h;
      out_halfedge[from[h]] = h;
    }
  }
  for (uint32_t h = 0; h < n_halfedges; ++h) {
    const auto it = directed.find((uint64_t{from[next[h]]} << 32) | from[h]);
    if (it != directed.end()) opposite[h] = it->second;
  }
  output->vertices = input.vertices;
  for (size_t f = 0; f < input.faces.size(); ++f) {
    uint32_t h = static_cast<uint32_t>(3 * f);
    for (uint32_t k = 0; k < 3; ++k, h = next[h]) output->faces[f][k] = from[h];
  }
  benchmark::DoNotOptimize(opposite.data());
  benchmark::DoNotOptimize(out_halfedge.data());
}

void BM_BuildFromArraysAndExport(benchmark::State& state) {
  const MeshArrays input = TorusGrid(static_cast<uint32_t>(state.range(0)), 334);
  const double n_faces = static_cast<double>(input.faces.size());
  MeshArrays output;
  output.vertices.resize(input.vertices.size());
  output.faces.resize(input.faces.size());
  double ours_s = 0.0, baseline_s = 0.0;
  int64_t peak_growth = 0;
  for (auto _ : state) {
    HalfedgeMesh mesh;
    AllocationCounter::ResetPeak();
    const int64_t before = AllocationCounter::Current();
    const double ours = SecondsFor([&] {
      mesh.BuildFromArrays(reinterpret_cast<const float(*)[3]>(input.vertices.data()),
                           reinterpret_cast<const uint32_t(*)[3]>(input.faces.data()), nullptr,
                           nullptr, static_cast<uint32_t>(input.vertices.size()),
                           static_cast<uint32_t>(input.faces.size()));
      mesh.ExportToArrays(reinterpret_cast<float(*)[3]>(output.vertices.data()),
                          reinterpret_cast<uint32_t(*)[3]>(output.faces.data()), nullptr, nullptr);
    });
    peak_growth = std::max(peak_growth, AllocationCounter::Peak() - before);
    mesh.Clear();
    baseline_s += SecondsFor([&] { PlainBuildAndExport(input, &output); });
    ours_s += ours;
    state.SetIterationTime(ours);
  }
  state.counters["faces"] = n_faces;
  state.counters["ratio_to_baseline"] = ours_s / baseline_s;
  state.counters["ns_per_face"] = 1e9 * ours_s / static_cast<double>(state.iterations()) / n_faces;
  state.counters["peak_bytes_per_face"] = static_cast<double>(peak_growth) / n_faces;
}
// 300 rings x 334 segments x 2 = 200,400 faces.
BENCHMARK(BM_BuildFromArraysAndExport)->Arg(300)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace halfedge_mesh
