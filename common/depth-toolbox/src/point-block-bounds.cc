// Boxes around runs of consecutive points, for deciding a whole run of a depth frame at once.
#include "depth-toolbox/point-block-bounds.h"

#include "block-box.h"

namespace depth_toolbox {

PointBlockBounds::PointBlockBounds(const float* xyz, Eigen::Index n_points) : n_points_(n_points) {
  const Eigen::Index n_blocks = (n_points + kPointsPerBlock - 1) / kPointsPerBlock;
  for (int axis = 0; axis < 3; ++axis) {
    centre_[axis].resize(static_cast<size_t>(n_blocks));
    half_extent_[axis].resize(static_cast<size_t>(n_blocks));
  }
  finite_.resize(static_cast<size_t>(n_blocks));
  const BlockBoxFunction block_box = BlockBoxImplementations().chosen();
  for (Eigen::Index block = 0; block < n_blocks; ++block) {
    const Eigen::Index begin = BlockBegin(block);
    const int length = static_cast<int>(BlockEnd(block) - begin);
    const float* points = xyz + 3 * begin;
    const size_t b = static_cast<size_t>(block);
    float lo[3];
    float hi[3];
    finite_[b] = block_box(points, length, lo, hi) ? 1 : 0;
    for (int axis = 0; axis < 3; ++axis) {
      const double lo_d = lo[axis];
      const double hi_d = hi[axis];
      centre_[axis][b] = static_cast<float>(0.5 * (lo_d + hi_d));
      half_extent_[axis][b] = static_cast<float>(0.5 * (hi_d - lo_d));
    }
  }
}

}  // namespace depth_toolbox
