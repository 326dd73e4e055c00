// Image hand-over cost: updates as a ratio to memcpy of the same bytes, and get-latest.
#include <benchmark/benchmark.h>

#include <cstring>
#include <utility>
#include <vector>

#include "cold-copy-benchmark.h"
#include "depth-interpolation/image-buffer-manager.h"

namespace depth_interpolation {
namespace {

// Updates of a whole image, or of rows [begin_line, end_line) with their chroma, against plain
// memcpy calls of the same byte ranges into the same number of rotating destinations.
void RunUpdate(benchmark::State& state, SolvoImageFormatType format, int width, int height,
               uint32_t begin_line, uint32_t end_line) {
  ImageBufferManager manager(format, width, height);
  if (begin_line != 0 || end_line != static_cast<uint32_t>(height)) {
    manager.SetCopyRegion(false, begin_line, end_line);
  }
  const auto image_size = static_cast<size_t>(manager.image_size());
  const size_t row =
      static_cast<size_t>(width) * (format == SOLVO_HAL_PIXEL_FORMAT_RGBA_8888 ? 4 : 1);
  std::vector<std::pair<size_t, size_t>> ranges = {{begin_line * row, end_line * row}};
  if (format == SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP &&
      ranges[0].second - ranges[0].first < image_size) {
    const size_t plane = static_cast<size_t>(height) * row;
    ranges.emplace_back(plane + begin_line / 2 * row, plane + (end_line + 1) / 2 * row);
  }
  if (ranges[0] == std::make_pair(size_t{0}, static_cast<size_t>(height) * row)) {
    ranges.assign(1, {0, image_size});
  }
  ColdBlocks sources(image_size);
  ColdBlocks baseline_sources(image_size);
  std::vector<std::vector<uint8_t>> destinations(3, std::vector<uint8_t>(image_size, 0));

  SolvoImageBuffer image{
      static_cast<uint32_t>(width), static_cast<uint32_t>(height), {}, 0.0, {}, format, nullptr};
  double ours_s = 0.0, baseline_s = 0.0, timestamp = 0.0;
  size_t destination = 0;
  SolvoImageBuffer* latest = nullptr;
  for (auto _ : state) {
    image.data = sources.Next();
    image.timestamp = ++timestamp;
    const double ours = SecondsFor([&] { benchmark::DoNotOptimize(manager.Update(image)); });
    const uint8_t* source = baseline_sources.Next();
    uint8_t* target = destinations[destination = (destination + 1) % 3].data();
    baseline_s += SecondsFor([&] {
      for (const auto& range : ranges) {
        std::memcpy(target + range.first, source + range.first, range.second - range.first);
      }
      benchmark::ClobberMemory();
    });
    ours_s += ours;
    state.SetIterationTime(ours);
    manager.GetLatest(&latest);  // as the reader would: the writer cycles through all three
  }
  size_t bytes = 0;
  for (const auto& range : ranges) bytes += range.second - range.first;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["ratio_to_memcpy"] = ours_s / baseline_s;  // below 1 means faster
}

void BM_UpdateRgba1920x1080(benchmark::State& state) {
  RunUpdate(state, SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, 1920, 1080, 0, 1080);
}
BENCHMARK(BM_UpdateRgba1920x1080)->UseManualTime();

void BM_UpdateNv21_1280x720(benchmark::State& state) {
  RunUpdate(state, SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, 1280, 720, 0, 720);
}
BENCHMARK(BM_UpdateNv21_1280x720)->UseManualTime();

// The middle half of the rows, with their chroma: two copies instead of one.
void BM_UpdateNv21_1280x720Band(benchmark::State& state) {
  RunUpdate(state, SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, 1280, 720, 180, 540);
}
BENCHMARK(BM_UpdateNv21_1280x720Band)->UseManualTime();

// Get-latest with nothing newer waiting (range 0), and right after an update (range 1, the
// update not timed): a compare and at most an exchange of pointers under an uncontended mutex.
// Timed one call at a time, clock reads included, so that the update stays out.
void BM_GetLatest(benchmark::State& state) {
  ImageBufferManager manager(SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, 1920, 1080);
  std::vector<uint8_t> pixels(static_cast<size_t>(manager.image_size()), 1);
  SolvoImageBuffer image{1920, 1080, {}, 1.0, {}, SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, pixels.data()};
  manager.Update(image);
  manager.SetCopyRegion(false, 0, 1);  // keeps the untimed updates short
  const bool exchange = state.range(0) != 0;
  SolvoImageBuffer* front = nullptr;
  for (auto _ : state) {
    if (exchange) {
      image.timestamp += 1.0;
      manager.Update(image);
    }
    state.SetIterationTime(
        SecondsFor([&] { benchmark::DoNotOptimize(manager.GetLatest(&front)); }));
  }
}
BENCHMARK(BM_GetLatest)->Arg(0)->Arg(1)->UseManualTime();

}  // namespace
}  // namespace depth_interpolation
