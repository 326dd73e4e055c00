// The depth lookup on a full depth frame, as a ratio to one plain pass over the same points.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <vector>

#include "benchmark-support/depth-frame.h"
#include "benchmark-support/thread-cpu-time.h"
#include "solvo_support_api.h"

namespace {

using benchmark_support::MakeDepthFrame;
using benchmark_support::SecondsFor;
using benchmark_support::SumOfCoordinates;

constexpr uint32_t kWidth = 640, kHeight = 480;

struct Frame {
  std::vector<float> storage = MakeDepthFrame(kWidth, kHeight, /*seed=*/7);
  SolvoXYZij cloud{};
  SolvoCameraIntrinsics intrinsics{};
  // The depth camera sits 2 cm beside the colour camera, slightly turned about y.
  double color_camera_T_point_cloud[16] = {0.9998, 0.0, -0.02,  0.0, 0.0,  1.0, 0.0, 0.0,
                                           0.02,   0.0, 0.9998, 0.0, 0.02, 0.0, 0.0, 1.0};
  float uv[2] = {0.43f, 0.57f};

  Frame() {
    cloud.point_count = kWidth * kHeight;
    cloud.xyz = reinterpret_cast<float(*)[3]>(storage.data());
    intrinsics.width = 1280;
    intrinsics.height = 720;
    intrinsics.fx = intrinsics.fy = 1040.0;
    intrinsics.cx = 640.0;
    intrinsics.cy = 360.0;
  }
};

// Times `lookup` interleaved with the plain pass over the same frame.
template <typename Lookup>
void RunAgainstBaseline(benchmark::State& state, const Frame& frame, Lookup&& lookup) {
  double ours_s = 0.0, baseline_s = 0.0;
  for (auto _ : state) {
    const double ours = SecondsFor([&] {
      lookup();
      benchmark::ClobberMemory();
    });
    baseline_s += SecondsFor([&] {
      benchmark::DoNotOptimize(SumOfCoordinates(frame.cloud.xyz, frame.cloud.point_count));
    });
    ours_s += ours;
    state.SetIterationTime(ours);
  }
  state.counters["ratio_to_baseline"] = ours_s / baseline_s;  // below 1 means faster
}

void BM_GetDepthAtPointNearestNeighbor(benchmark::State& state) {
  const Frame frame;
  float point[3];
  int valid = 0;
  RunAgainstBaseline(state, frame, [&] {
    benchmark::DoNotOptimize(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
        &frame.cloud, &frame.intrinsics, frame.color_camera_T_point_cloud, frame.uv, point,
        &valid));
  });
  state.counters["found"] = valid;
}
BENCHMARK(BM_GetDepthAtPointNearestNeighbor)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
