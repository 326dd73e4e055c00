// Plane fits on a synthetic 640 x 480 depth frame, each as a ratio to a plain pass over its points.
#include <benchmark/benchmark.h>
#include <gflags/gflags.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "benchmark-support/thread-cpu-time.h"
#include "generic/random_generator_provider.h"
#include "solvo_support_api.h"

namespace {

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;

// A room seen by a level camera (x right, y down, z forward) 1.5 above the floor: the floor
// y = 1.5, a back wall z = 8, a left wall x = -2.5 and a box on the floor, every depth point
// displaced by 5 mm noise.
struct Frame {
  std::vector<float> storage;
  SolvoXYZij cloud{};
  SolvoCameraIntrinsics intrinsics{};
  double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// Distance along the ray (x_n, y_n, 1) to the nearest surface of the room.
double NearestHit(double x_n, double y_n) {
  double t = 8.0;
  if (y_n > 0.0) t = std::min(t, 1.5 / y_n);
  if (x_n < 0.0) t = std::min(t, -2.5 / x_n);
  // The box [0.5, 1.3] x [0.8, 1.5] x [3, 3.8], by slabs.
  const double lo[3] = {0.5, 0.8, 3.0};
  const double hi[3] = {1.3, 1.5, 3.8};
  const double direction[3] = {x_n, y_n, 1.0};
  double enter = 0.0;
  double leave = std::numeric_limits<double>::infinity();
  for (int axis = 0; axis < 3; ++axis) {
    if (direction[axis] == 0.0) {
      if (lo[axis] > 0.0 || hi[axis] < 0.0) enter = leave + 1.0;
      continue;
    }
    const double t0 = lo[axis] / direction[axis];
    const double t1 = hi[axis] / direction[axis];
    enter = std::max(enter, std::min(t0, t1));
    leave = std::min(leave, std::max(t0, t1));
  }
  if (enter <= leave) t = std::min(t, enter);
  return t;
}

const Frame& RoomFrame() {
  static const Frame* frame = [] {
    auto* made = new Frame;
    made->intrinsics.width = kWidth;
    made->intrinsics.height = kHeight;
    made->intrinsics.fx = 525.0;
    made->intrinsics.fy = 525.0;
    made->intrinsics.cx = 319.5;
    made->intrinsics.cy = 239.5;
    std::mt19937 engine(7);
    std::normal_distribution<float> noise(0.0f, 0.005f);
    made->storage.reserve(3 * kWidth * kHeight);
    for (uint32_t row = 0; row < kHeight; ++row) {
      for (uint32_t column = 0; column < kWidth; ++column) {
        const double x_n = (column - made->intrinsics.cx) / made->intrinsics.fx;
        const double y_n = (row - made->intrinsics.cy) / made->intrinsics.fy;
        const double t = NearestHit(x_n, y_n);
        made->storage.push_back(static_cast<float>(x_n * t) + noise(engine));
        made->storage.push_back(static_cast<float>(y_n * t) + noise(engine));
        made->storage.push_back(static_cast<float>(t) + noise(engine));
      }
    }
    made->cloud.timestamp = 1.0;
    made->cloud.point_count = kWidth * kHeight;
    made->cloud.xyz = reinterpret_cast<float(*)[3]>(made->storage.data());
    return made;
  }();
  return *frame;
}

// The baseline: one plain pass over the same points.
float PlainCoordinateSum(const SolvoXYZij& cloud) {
  float sum = 0.0f;
  for (uint32_t i = 0; i < cloud.point_count; ++i) {
    sum += cloud.xyz[i][0] + cloud.xyz[i][1] + cloud.xyz[i][2];
  }
  return sum;
}

using benchmark_support::SecondsFor;

// Runs `ours` interleaved with the baseline on the same frame; the Time column shows ours only.
template <typename Work>
void MeasureAgainstPlainPass(benchmark::State& state, Work&& ours) {
  const Frame& frame = RoomFrame();
  gflags::FlagSaver flag_saver;
  FLAGS_random_generator_use_random_seed = false;
  double ours_s = 0.0;
  double baseline_s = 0.0;
  for (auto _ : state) {
    const double ours_once = SecondsFor([&] { ours(frame); });
    baseline_s += SecondsFor([&] { benchmark::DoNotOptimize(PlainCoordinateSum(frame.cloud)); });
    ours_s += ours_once;
    state.SetIterationTime(ours_once);
  }
  state.counters["ratio_to_plain_pass"] = ours_s / baseline_s;  // below 1 means faster
  state.counters["plain_pass_us"] = 1e6 * baseline_s / static_cast<double>(state.iterations());
}

void BM_FitPlaneModelNearClickOnTheFloor(benchmark::State& state) {
  MeasureAgainstPlainPass(state, [&state](const Frame& frame) {
    const float touch[2] = {0.3f, 0.9f};
    double intersection[3];
    double plane[4];
    if (SolvoSupport_fitPlaneModelNearClickMatrixTransform(&frame.cloud, &frame.intrinsics,
                                                           frame.identity, touch, intersection,
                                                           plane) != SOLVO_STATUS_OK) {
      state.SkipWithError("no plane under the touch");
    }
    benchmark::DoNotOptimize(plane);
  });
}
BENCHMARK(BM_FitPlaneModelNearClickOnTheFloor)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FitPlaneToPointCloudRansacOnTheWholeFrame(benchmark::State& state) {
  MeasureAgainstPlainPass(state, [](const Frame& frame) {
    double plane[4];
    benchmark::DoNotOptimize(
        SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&frame.cloud, 50, 0.01, 0.8, 0.3, plane));
    benchmark::DoNotOptimize(plane);
  });
}
BENCHMARK(BM_FitPlaneToPointCloudRansacOnTheWholeFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_RefinePlaneModelOnTheWholeFrame(benchmark::State& state) {
  MeasureAgainstPlainPass(state, [&state](const Frame& frame) {
    const double floor[4] = {0.0, -1.0, 0.0, 1.5};
    double plane[4];
    if (SolvoInternalSupport_refinePlaneModel(&frame.cloud, floor, 0.01, plane) !=
        SOLVO_STATUS_OK) {
      state.SkipWithError("no refined plane");
    }
    benchmark::DoNotOptimize(plane);
  });
}
BENCHMARK(BM_RefinePlaneModelOnTheWholeFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
