// Boxes around runs of consecutive points, for deciding a whole run of a depth frame at once.
#ifndef DEPTH_TOOLBOX_POINT_BLOCK_BOUNDS_H_
#define DEPTH_TOOLBOX_POINT_BLOCK_BOUNDS_H_

#include <Eigen/Core>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace depth_toolbox {

// The axis-aligned box around each run of kPointsPerBlock consecutive points (the last run may
// be shorter). Consecutive points of a depth frame are neighbours in the image and mostly in
// space, so most boxes are small: a test that holds for a whole box holds for its every point.
class PointBlockBounds {
 public:
  static constexpr int kPointsPerBlock = 128;

  // `xyz`: n_points triples x, y, z. The bounds keep no reference to them.
  PointBlockBounds(const float* xyz, Eigen::Index n_points);

  Eigen::Index NBlocks() const { return static_cast<Eigen::Index>(finite_.size()); }
  Eigen::Index NPoints() const { return n_points_; }
  // Points [BlockBegin(block), BlockEnd(block)) make up the block.
  Eigen::Index BlockBegin(Eigen::Index block) const { return block * kPointsPerBlock; }
  Eigen::Index BlockEnd(Eigen::Index block) const {
    return std::min<Eigen::Index>(n_points_, (block + 1) * kPointsPerBlock);
  }

  // Centre and half extent of each block's box along `axis` (0, 1, 2 for x, y, z), rounded to
  // float (within 2^-24 of max(|centre|, half extent) each): tests on a box must allow for that
  // rounding. Meaningless for a block that is not finite.
  const float* centre(int axis) const { return centre_[axis].data(); }
  const float* half_extent(int axis) const { return half_extent_[axis].data(); }
  // 1 when every coordinate of the block is finite, else 0: only finite blocks have a box.
  const int32_t* finite() const { return finite_.data(); }

 private:
  Eigen::Index n_points_;
  std::vector<float> centre_[3];
  std::vector<float> half_extent_[3];
  std::vector<int32_t> finite_;
};

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_POINT_BLOCK_BOUNDS_H_
