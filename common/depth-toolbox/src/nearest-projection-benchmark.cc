// Each implementation of the nearest-projection scan on a full depth frame, as a ratio to one
// plain pass over the same points.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "benchmark-support/depth-frame.h"
#include "benchmark-support/thread-cpu-time.h"
#include "depth-toolbox/nearest-projection.h"

namespace {

using benchmark_support::SecondsFor;

constexpr uint32_t kWidth = 640, kHeight = 480;

// The frame and query of the exported lookup's benchmark: the depth camera 2 cm beside the
// colour camera, slightly turned about y; a 1280 x 720 colour image.
depth_toolbox::ProjectionQuery Query() {
  depth_toolbox::ProjectionQuery query{};
  const double color_camera_T_point_cloud[16] = {0.9998, 0.0, -0.02,  0.0, 0.0,  1.0, 0.0, 0.0,
                                                 0.02,   0.0, 0.9998, 0.0, 0.02, 0.0, 0.0, 1.0};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = color_camera_T_point_cloud[k];
  query.fx = query.fy = 1040.0;
  query.cx = 640.0;
  query.cy = 360.0;
  query.u = static_cast<double>(0.43f) * 1280;
  query.v = static_cast<double>(0.57f) * 720;
  return query;
}

// Each scan this CPU runs, for machines whose fastest one is not available here.
void BM_NearestProjectionScan(benchmark::State& state,
                              const generic::CpuPath<depth_toolbox::NearestProjectionScan>& scan) {
  const std::vector<float> storage = benchmark_support::MakeDepthFrame(kWidth, kHeight, 7);
  const auto* xyz = reinterpret_cast<const float(*)[3]>(storage.data());
  const uint32_t point_count = kWidth * kHeight;
  const depth_toolbox::ProjectionQuery query = Query();
  double ours_s = 0.0, baseline_s = 0.0;
  for (auto _ : state) {
    const double ours = SecondsFor([&] {
      benchmark::DoNotOptimize(scan.function(query, xyz, point_count));
      benchmark::ClobberMemory();
    });
    baseline_s += SecondsFor(
        [&] { benchmark::DoNotOptimize(benchmark_support::SumOfCoordinates(xyz, point_count)); });
    ours_s += ours;
    state.SetIterationTime(ours);
  }
  state.counters["ratio_to_baseline"] = ours_s / baseline_s;  // below 1 means faster
}

const bool kScansRegistered = [] {
  for (const auto& scan : depth_toolbox::NearestProjectionScans().all()) {
    if (!scan.RunsHere()) continue;
    benchmark::RegisterBenchmark((std::string("BM_NearestProjectionScan/") + scan.name).c_str(),
                                 BM_NearestProjectionScan, scan)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
