// Depth frames that benchmarks of the depth lookup share, and the plain pass over one.
#ifndef BENCHMARK_SUPPORT_DEPTH_FRAME_H_
#define BENCHMARK_SUPPORT_DEPTH_FRAME_H_

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace benchmark_support {

// A frame of the depth camera: 640 x 480 points on a wavy wall 1 to 3 m away.
inline std::vector<float> MakeDepthFrame(uint32_t width, uint32_t height, uint32_t seed) {
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
inline double SumOfCoordinates(const float (*xyz)[3], uint32_t point_count) {
  double sum_x = 0.0, sum_y = 0.0, sum_z = 0.0;
  for (uint32_t i = 0; i < point_count; ++i) {
    sum_x += xyz[i][0];
    sum_y += xyz[i][1];
    sum_z += xyz[i][2];
  }
  return sum_x + sum_y + sum_z;
}

}  // namespace benchmark_support

#endif  // BENCHMARK_SUPPORT_DEPTH_FRAME_H_
