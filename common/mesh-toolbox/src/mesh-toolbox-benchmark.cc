// Simplifying a closed mesh of about 200,000 faces, and scanned meshes, to a tenth of their faces.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "benchmark-support/thread-cpu-time.h"
#include "halfedge-mesh/mesh-test-support.h"
#include "mesh-toolbox/mesh-toolbox.h"
#include "test-support/allocation-counter.h"

namespace mesh_toolbox {
namespace {

using halfedge_mesh::HalfedgeMesh;
using halfedge_mesh::MeshArrays;
using test_support::AllocationCounter;

using benchmark_support::SecondsFor;

void Build(const MeshArrays& input, HalfedgeMesh* mesh) {
  mesh->BuildFromArrays(reinterpret_cast<const float(*)[3]>(input.vertices.data()),
                        reinterpret_cast<const uint32_t(*)[3]>(input.faces.data()), nullptr,
                        nullptr, static_cast<uint32_t>(input.vertices.size()),
                        static_cast<uint32_t>(input.faces.size()));
}

// The number of ways the triangles of `mesh` fail to form an oriented 2-manifold: faces with a
// repeated corner, a directed edge used twice (an edge with more than two faces, or two faces of
// opposite orientation), and vertices whose faces form more than one fan.
int64_t ManifoldDefects(const MeshArrays& mesh) {
  int64_t defects = 0;
  const size_t n_vertices = mesh.vertices.size();
  std::vector<uint64_t> directed;
  directed.reserve(3 * mesh.faces.size());
  // Around each vertex, its faces as wedges from one neighbour to the next, in face order.
  std::vector<uint32_t> wedge_count(n_vertices + 1, 0);
  for (const auto& face : mesh.faces) {
    if (face[0] == face[1] || face[1] == face[2] || face[2] == face[0]) ++defects;
    for (int k = 0; k < 3; ++k) {
      directed.push_back((uint64_t{face[k]} << 32) | face[(k + 1) % 3]);
      ++wedge_count[face[k] + 1];
    }
  }
  std::sort(directed.begin(), directed.end());
  defects += directed.end() - std::unique(directed.begin(), directed.end());
  for (size_t v = 0; v < n_vertices; ++v) wedge_count[v + 1] += wedge_count[v];
  std::vector<std::pair<uint32_t, uint32_t>> wedges(3 * mesh.faces.size());
  std::vector<uint32_t> filled(wedge_count.begin(), wedge_count.end() - 1);
  for (const auto& face : mesh.faces) {
    for (int k = 0; k < 3; ++k) {
      wedges[filled[face[k]]++] = {face[(k + 1) % 3], face[(k + 2) % 3]};
    }
  }
  // A manifold vertex's wedges chain into one path or one cycle: following them from the start
  // of the path (a neighbour no wedge ends at), or from any wedge of a cycle, visits them all.
  for (size_t v = 0; v < n_vertices; ++v) {
    const auto begin = wedges.begin() + wedge_count[v];
    const auto end = wedges.begin() + wedge_count[v + 1];
    const size_t n = static_cast<size_t>(end - begin);
    if (n == 0) continue;
    std::sort(begin, end);
    uint32_t start = begin->first;
    for (auto w = begin; w != end; ++w) {
      const bool is_an_end =
          std::any_of(begin, end, [&](const auto& o) { return o.second == w->first; });
      if (!is_an_end) {
        start = w->first;
        break;
      }
    }
    size_t visited = 0;
    uint32_t at = start;
    for (; visited < n; ++visited) {
      const auto next = std::lower_bound(begin, end, std::make_pair(at, uint32_t{0}));
      if (next == end || next->first != at) break;
      at = next->second;
      if (at == start) {
        ++visited;
        break;
      }
    }
    if (visited != n) ++defects;
  }
  return defects;
}

// What the exported function does: build, simplify, write back, to `per_mille` thousandths of
// the input's faces. The baseline, run interleaved on the same input, is the build alone: the
// ratio is the cost of the whole request in builds. The first result is checked: an oriented
// manifold (the count of defects beside the input's) with the input's Euler characteristic.
void MeasureSimplification(benchmark::State& state, const MeshArrays& input, int64_t per_mille) {
  const uint32_t n_faces = static_cast<uint32_t>(input.faces.size());
  const uint32_t target = static_cast<uint32_t>(uint64_t{n_faces} * per_mille / 1000);
  MeshArrays output;
  output.vertices.resize(input.vertices.size());
  output.faces.resize(input.faces.size());
  double ours_s = 0.0, baseline_s = 0.0;
  int64_t peak_growth = 0;
  uint32_t result_faces = 0;
  int64_t input_euler = 0;
  {
    HalfedgeMesh mesh;
    Build(input, &mesh);
    input_euler = halfedge_mesh::EulerCharacteristic(mesh);
  }
  int64_t output_euler = 0;
  std::string broken;
  bool checked = false;
  for (auto _ : state) {
    AllocationCounter::ResetPeak();
    const int64_t before = AllocationCounter::Current();
    auto mesh = std::allocate_shared<HalfedgeMesh>(Eigen::aligned_allocator<HalfedgeMesh>());
    double ours = SecondsFor([&] {
      Build(input, mesh.get());
      SimplifyMesh(mesh, target);
      mesh->ExportToArrays(reinterpret_cast<float(*)[3]>(output.vertices.data()),
                           reinterpret_cast<uint32_t(*)[3]>(output.faces.data()), nullptr, nullptr);
      result_faces = mesh->NFaces();
    });
    peak_growth = std::max(peak_growth, AllocationCounter::Peak() - before);
    if (!checked) {
      state.PauseTiming();
      broken = halfedge_mesh::CheckInvariants(*mesh);
      output_euler = halfedge_mesh::EulerCharacteristic(*mesh);
      checked = true;
      state.ResumeTiming();
    }
    // Freeing the mesh is part of the request.
    ours += SecondsFor([&] { mesh.reset(); });
    baseline_s += SecondsFor([&] {
      HalfedgeMesh mesh_once;
      Build(input, &mesh_once);
    });
    ours_s += ours;
    state.SetIterationTime(ours);
  }
  MeshArrays result;
  result.vertices.assign(
      output.vertices.begin(),
      output.vertices.begin() +
          static_cast<std::ptrdiff_t>(std::min(output.vertices.size(), input.vertices.size())));
  result.faces.assign(output.faces.begin(), output.faces.begin() + result_faces);
  const double iterations = static_cast<double>(state.iterations());
  state.counters["faces_in"] = n_faces;
  state.counters["faces_out"] = result_faces;
  state.counters["input_faces_per_s"] = n_faces * iterations / ours_s;
  state.counters["peak_bytes_per_face"] = static_cast<double>(peak_growth) / n_faces;
  state.counters["defects_in"] = static_cast<double>(ManifoldDefects(input));
  state.counters["defects_out"] = static_cast<double>(ManifoldDefects(result));
  state.counters["euler_kept"] = input_euler == output_euler ? 1 : 0;
  state.counters["ratio_to_baseline"] = ours_s / baseline_s;
  if (!broken.empty()) state.SkipWithError(("broken mesh: " + broken).c_str());
}

void BM_SimplifyMesh(benchmark::State& state) {
  MeasureSimplification(state, halfedge_mesh::TorusGrid(300, 334), state.range(0));  // 200,400
}
// Targets in thousandths of the input's faces: 10% and 1%.
BENCHMARK(BM_SimplifyMesh)->Arg(100)->Arg(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// Reads a triangle mesh in the OFF format (header, counts, vertices, faces, '#' comments);
// returns false for anything else, polygons of more than three corners included.
bool ReadOff(const std::string& path, MeshArrays* mesh) {
  std::ifstream file(path);
  std::string text;
  std::string line;
  while (std::getline(file, line)) {
    text += line.substr(0, line.find('#'));
    text += '\n';
  }
  std::istringstream in(text);
  std::string header;
  size_t n_vertices = 0, n_faces = 0, n_edges = 0;
  if (!(in >> header >> n_vertices >> n_faces >> n_edges) || header != "OFF") return false;
  mesh->vertices.resize(n_vertices);
  mesh->faces.resize(n_faces);
  for (auto& vertex : mesh->vertices) {
    if (!(in >> vertex[0] >> vertex[1] >> vertex[2])) return false;
  }
  for (auto& face : mesh->faces) {
    int corners = 0;
    if (!(in >> corners >> face[0] >> face[1] >> face[2]) || corners != 3) return false;
    if (face[0] >= n_vertices || face[1] >= n_vertices || face[2] >= n_vertices) return false;
  }
  return true;
}

// Scanned meshes, read from the directory named by SOLVO_MESH_DATA_DIR (scripts/bench.sh sets
// it when it finds them): simplified to 10% of their faces.
void BM_SimplifyScan(benchmark::State& state, const std::string& file_name) {
  const char* directory = std::getenv("SOLVO_MESH_DATA_DIR");
  MeshArrays input;
  if (directory == nullptr || !ReadOff(std::string(directory) + "/" + file_name, &input)) {
    for (auto _ : state) {
    }
    state.SkipWithError(("no mesh " + file_name + " in $SOLVO_MESH_DATA_DIR").c_str());
    return;
  }
  MeasureSimplification(state, input, 100);
}

const bool kScansRegistered = [] {
  for (const char* name :
       {"armadillo.off", "bunny00.off", "elephant.off", "ChineseDragon-10kv.off"}) {
    benchmark::RegisterBenchmark((std::string("BM_SimplifyScan/") + name).c_str(),
                                 [name](benchmark::State& state) { BM_SimplifyScan(state, name); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace mesh_toolbox
