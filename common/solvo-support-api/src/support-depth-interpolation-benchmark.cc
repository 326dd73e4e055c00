// The depth lookup on a full depth frame, as a ratio to one plain pass over the same points.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "benchmark-support/thread-cpu-time.h"
#include "nearest-projection.h"
#include "solvo_support_api.h"

namespace {

using benchmark_support::SecondsFor;

// A frame of the depth camera: 640 x 480 points on a wavy wall 1 to 3 m away.
std::vector<float> MakeDepthFrame(uint32_t width, uint32_t height, uint32_t seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> noise(-0.005f, 0.005f);
  std::vector<float> xyz;
  xyz.reserve(size_t{3} * width * height);
  for (uint32_t row = 0; row < height; ++row) {
    for (uint32_t col = 0; col < width; ++col) {
      const float depth =
          2.0f + static_cast<float>((col % 97) + (row % 61)) / 79.0f + noise(engine);
      xyz.push_back((static_cast<float>(col) - 320.0f) / 500.0f * depth);
      xyz.push_back((static_cast<float>(row) - 240.0f) / 500.0f * depth);
      xyz.push_back(depth);
    }
  }
  return xyz;
}

// What any pass over the frame costs at least: read every coordinate once.
double SumOfCoordinates(const float (*xyz)[3], uint32_t point_count) {
  double sum_x = 0.0, sum_y = 0.0, sum_z = 0.0;
  for (uint32_t i = 0; i < point_count; ++i) {
    sum_x += xyz[i][0];
    sum_y += xyz[i][1];
    sum_z += xyz[i][2];
  }
  return sum_x + sum_y + sum_z;
}

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

// Each scan this CPU can run, for machines whose fastest one is not available here.
void BM_NearestProjectionScan(benchmark::State& state,
                              solvo_support_api::NearestProjectionScan scan) {
  const Frame frame;
  solvo_support_api::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) {
    query.color_camera_T_point_cloud[k] = frame.color_camera_T_point_cloud[k];
  }
  query.fx = frame.intrinsics.fx;
  query.fy = frame.intrinsics.fy;
  query.cx = frame.intrinsics.cx;
  query.cy = frame.intrinsics.cy;
  query.u = 0.43 * frame.intrinsics.width;
  query.v = 0.57 * frame.intrinsics.height;
  RunAgainstBaseline(state, frame, [&] {
    benchmark::DoNotOptimize(scan.scan(query, frame.cloud.xyz, frame.cloud.point_count));
  });
}

const bool kScansRegistered = [] {
  for (const auto& scan : solvo_support_api::NearestProjectionScans()) {
    benchmark::RegisterBenchmark((std::string("BM_NearestProjectionScan/") + scan.name).c_str(),
                                 BM_NearestProjectionScan, scan)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
