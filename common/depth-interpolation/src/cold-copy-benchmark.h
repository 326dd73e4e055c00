// Benchmark support: copies from memory no cache holds, and the time one call takes.
#ifndef DEPTH_INTERPOLATION_COLD_COPY_BENCHMARK_H_
#define DEPTH_INTERPOLATION_COLD_COPY_BENCHMARK_H_

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace depth_interpolation {

// Blocks of `size` bytes, together larger than any cache, handed out in turn: a frame from the
// service's callback arrives from memory, not from a cache, and so does every block here.
class ColdBlocks {
 public:
  explicit ColdBlocks(size_t size, uint8_t fill = 0x5A)
      : blocks_(std::max<size_t>(3, kTotalBytes / std::max<size_t>(size, 1) + 1),
                std::vector<uint8_t>(size, fill)) {}
  uint8_t* Next() {
    next_ = (next_ + 1) % blocks_.size();
    return blocks_[next_].data();
  }

 private:
  static constexpr size_t kTotalBytes = size_t{96} << 20;
  std::vector<std::vector<uint8_t>> blocks_;
  size_t next_ = 0;
};

template <typename Work>
double SecondsFor(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace depth_interpolation

#endif  // DEPTH_INTERPOLATION_COLD_COPY_BENCHMARK_H_
