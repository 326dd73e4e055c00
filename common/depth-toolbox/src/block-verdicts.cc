// What an inlier test decides about whole blocks of points, from the blocks' boxes alone.
#include "block-verdicts.h"

#include <algorithm>
#include <cmath>

namespace depth_toolbox {

void ClassifyBlocks(const PointBlockBounds& bounds, const InlierTest& test, int32_t* verdicts) {
  const Eigen::Index n_blocks = bounds.NBlocks();
  const float a = test.a;
  const float b = test.b;
  const float c = test.c;
  const float d = test.d;
  const float bound = test.bound;
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d) ||
      !std::isfinite(bound)) {
    std::fill(verdicts, verdicts + n_blocks, kLookAtEachPoint);
    return;
  }
  const float abs_a = std::fabs(a);
  const float abs_b = std::fabs(b);
  const float abs_c = std::fabs(c);
  const float abs_d = std::fabs(d);
  const float* __restrict centre_x = bounds.centre(0);
  const float* __restrict centre_y = bounds.centre(1);
  const float* __restrict centre_z = bounds.centre(2);
  const float* __restrict half_x = bounds.half_extent(0);
  const float* __restrict half_y = bounds.half_extent(1);
  const float* __restrict half_z = bounds.half_extent(2);
  const int32_t* __restrict finite = bounds.finite();
  constexpr float kRelativeMargin = 1.0f / (1 << 18);
  constexpr float kUnderflowMargin = 1e-30f;
  // Far below the largest float: no partial sum of a point's offset can overflow.
  constexpr float kLargestMagnitude = 1e36f;
  for (Eigen::Index k = 0; k < n_blocks; ++k) {
    const float middle = (a * centre_x[k] + b * centre_y[k]) + (c * centre_z[k] + d);
    const float spread = abs_a * half_x[k] + abs_b * half_y[k] + abs_c * half_z[k];
    const float magnitude = abs_a * (std::fabs(centre_x[k]) + half_x[k]) +
                            abs_b * (std::fabs(centre_y[k]) + half_y[k]) +
                            abs_c * (std::fabs(centre_z[k]) + half_z[k]) + abs_d;
    const float margin = magnitude * kRelativeMargin + kUnderflowMargin;
    const float lowest = middle - spread - margin;
    const float highest = middle + spread + margin;
    const int32_t decidable = (finite[k] != 0) & (magnitude < kLargestMagnitude);
    const int32_t none = (lowest > bound) | (highest < -bound);
    const int32_t every = (lowest > -bound) & (highest < bound);
    verdicts[k] = decidable * (none * kNoPointPasses + (1 - none) * every * kEveryPointPasses);
  }
}

}  // namespace depth_toolbox
