// Point cloud hand-over cost: an update as a ratio to memcpy of the same points.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "cold-copy-benchmark.h"
#include "depth-interpolation/point-cloud-manager.h"

namespace depth_interpolation {
namespace {

void BM_UpdatePointCloud(benchmark::State& state) {
  const auto count = static_cast<uint32_t>(state.range(0));
  const size_t bytes = size_t{count} * sizeof(float[3]);
  PointCloudManager manager(count);
  ColdBlocks sources(bytes);
  ColdBlocks baseline_sources(bytes);
  std::vector<std::vector<uint8_t>> destinations(3, std::vector<uint8_t>(bytes, 0));
  {
    // Touch every page of the manager's three clouds once, as the destinations above are.
    SolvoXYZij cloud{};
    cloud.point_count = count;
    for (int i = 0; i < 3; ++i) {
      cloud.xyz = reinterpret_cast<float(*)[3]>(sources.Next());
      manager.Update(cloud);
    }
  }
  SolvoXYZij cloud{};
  cloud.point_count = count;
  double ours_s = 0.0, baseline_s = 0.0, timestamp = 0.0;
  size_t destination = 0;
  SolvoXYZij* latest = nullptr;
  for (auto _ : state) {
    cloud.xyz = reinterpret_cast<float(*)[3]>(sources.Next());
    cloud.timestamp = ++timestamp;
    const double ours = SecondsFor([&] { benchmark::DoNotOptimize(manager.Update(cloud)); });
    const uint8_t* source = baseline_sources.Next();
    uint8_t* target = destinations[destination = (destination + 1) % 3].data();
    baseline_s += SecondsFor([&] {
      std::memcpy(target, source, bytes);
      benchmark::ClobberMemory();
    });
    ours_s += ours;
    state.SetIterationTime(ours);
    manager.GetLatest(&latest);  // as the reader would: the writer cycles through all three
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["ratio_to_memcpy"] = ours_s / baseline_s;  // below 1 means faster
}
BENCHMARK(BM_UpdatePointCloud)->Arg(640 * 480)->UseManualTime();

}  // namespace
}  // namespace depth_interpolation
