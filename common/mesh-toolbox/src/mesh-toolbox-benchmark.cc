// Simplifying a closed mesh of about 200,000 faces to 10% and to 1% of its faces.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

#include "halfedge-mesh/allocation-counter.h"
#include "halfedge-mesh/mesh-test-support.h"
#include "mesh-toolbox/mesh-toolbox.h"

namespace mesh_toolbox {
namespace {

using halfedge_mesh::AllocationCounter;
using halfedge_mesh::HalfedgeMesh;
using halfedge_mesh::MeshArrays;

template <typename Work>
double SecondsFor(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Build(const MeshArrays& input, HalfedgeMesh* mesh) {
  mesh->BuildFromArrays(reinterpret_cast<const float(*)[3]>(input.vertices.data()),
                        reinterpret_cast<const uint32_t(*)[3]>(input.faces.data()), nullptr,
                        nullptr, static_cast<uint32_t>(input.vertices.size()),
                        static_cast<uint32_t>(input.faces.size()));
}

// What the exported function does: build, simplify, write back. The baseline, run interleaved on
// the same input, is the build alone: the ratio is the cost of the whole request in builds.
void BM_SimplifyMesh(benchmark::State& state) {
  const MeshArrays input = halfedge_mesh::TorusGrid(300, 334);  // 200,400 faces
  const uint32_t n_faces = static_cast<uint32_t>(input.faces.size());
  const uint32_t target = static_cast<uint32_t>(uint64_t{n_faces} * state.range(0) / 1000);
  MeshArrays output;
  output.vertices.resize(input.vertices.size());
  output.faces.resize(input.faces.size());
  double ours_s = 0.0, baseline_s = 0.0;
  int64_t peak_growth = 0;
  uint32_t result_faces = 0;
  for (auto _ : state) {
    AllocationCounter::ResetPeak();
    const int64_t before = AllocationCounter::Current();
    const double ours = SecondsFor([&] {
      auto mesh = std::allocate_shared<HalfedgeMesh>(Eigen::aligned_allocator<HalfedgeMesh>());
      Build(input, mesh.get());
      SimplifyMesh(mesh, target);
      mesh->ExportToArrays(reinterpret_cast<float(*)[3]>(output.vertices.data()),
                           reinterpret_cast<uint32_t(*)[3]>(output.faces.data()), nullptr, nullptr);
      result_faces = mesh->NFaces();
    });
    peak_growth = std::max(peak_growth, AllocationCounter::Peak() - before);
    baseline_s += SecondsFor([&] {
      HalfedgeMesh mesh;
      Build(input, &mesh);
    });
    ours_s += ours;
    state.SetIterationTime(ours);
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["faces_out"] = result_faces;
  state.counters["input_faces_per_s"] = n_faces * iterations / ours_s;
  state.counters["peak_bytes_per_face"] = static_cast<double>(peak_growth) / n_faces;
  state.counters["ratio_to_baseline"] = ours_s / baseline_s;
}
// Targets in thousandths of the input's faces: 10% and 1%.
BENCHMARK(BM_SimplifyMesh)->Arg(100)->Arg(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mesh_toolbox
