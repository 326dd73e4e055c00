// Boxes around runs of consecutive points, for deciding a whole run of a depth frame at once.
#include "depth-toolbox/point-block-bounds.h"

#include <algorithm>

#include "float4.h"

namespace depth_toolbox {
namespace {

// Bounds of the n_points points at `xyz`; returns whether all their coordinates are finite. The
// comparisons of the bounds pass over NaN; a sum of all coordinates does not: it is finite when
// every coordinate is (or, harmlessly, not when huge values overflow it).
bool BlockBox(const float* xyz, int n_points, float* lo, float* hi) {
  for (int axis = 0; axis < 3; ++axis) lo[axis] = hi[axis] = xyz[axis];
  float finite_check = 0.0f;
  const int n_floats = 3 * n_points;
  int k = 0;
#if DEPTH_TOOLBOX_HAS_FLOAT4
  // Four points at a time, three registers: lane l of register i always holds coordinate
  // (4 i + l) % 3.
  constexpr int kFloatsPerStep = 12;
  if (n_floats >= kFloatsPerStep) {
    // Named registers rather than arrays, so that they stay in registers.
    Float4 lo0 = LoadFloat4(xyz), lo1 = LoadFloat4(xyz + 4), lo2 = LoadFloat4(xyz + 8);
    Float4 hi0 = lo0, hi1 = lo1, hi2 = lo2;
    Float4 check0 = lo0 - lo0, check1 = check0, check2 = check0;
    for (; k + kFloatsPerStep <= n_floats; k += kFloatsPerStep) {
      const Float4 v0 = LoadFloat4(xyz + k);
      const Float4 v1 = LoadFloat4(xyz + k + 4);
      const Float4 v2 = LoadFloat4(xyz + k + 8);
      lo0 = Min(v0, lo0);
      lo1 = Min(v1, lo1);
      lo2 = Min(v2, lo2);
      hi0 = Max(v0, hi0);
      hi1 = Max(v1, hi1);
      hi2 = Max(v2, hi2);
      check0 += v0;
      check1 += v1;
      check2 += v2;
    }
    const Float4 lo_v[3] = {lo0, lo1, lo2};
    const Float4 hi_v[3] = {hi0, hi1, hi2};
    const Float4 check_v[3] = {check0, check1, check2};
    for (int i = 0; i < 3; ++i) {
      for (int l = 0; l < 4; ++l) {
        const int axis = (4 * i + l) % 3;
        lo[axis] = std::min(lo[axis], lo_v[i][l]);
        hi[axis] = std::max(hi[axis], hi_v[i][l]);
        finite_check += check_v[i][l];
      }
    }
  }
#endif
  for (; k < n_floats; ++k) {
    lo[k % 3] = std::min(lo[k % 3], xyz[k]);
    hi[k % 3] = std::max(hi[k % 3], xyz[k]);
    finite_check += xyz[k];
  }
  return finite_check - finite_check == 0.0f;
}

}  // namespace

PointBlockBounds::PointBlockBounds(const float* xyz, Eigen::Index n_points) : n_points_(n_points) {
  const Eigen::Index n_blocks = (n_points + kPointsPerBlock - 1) / kPointsPerBlock;
  for (int axis = 0; axis < 3; ++axis) {
    centre_[axis].resize(static_cast<size_t>(n_blocks));
    half_extent_[axis].resize(static_cast<size_t>(n_blocks));
  }
  finite_.resize(static_cast<size_t>(n_blocks));
  for (Eigen::Index block = 0; block < n_blocks; ++block) {
    const Eigen::Index begin = BlockBegin(block);
    const int length = static_cast<int>(BlockEnd(block) - begin);
    const float* points = xyz + 3 * begin;
    const size_t b = static_cast<size_t>(block);
    float lo[3];
    float hi[3];
    finite_[b] = BlockBox(points, length, lo, hi) ? 1 : 0;
    for (int axis = 0; axis < 3; ++axis) {
      const double lo_d = lo[axis];
      const double hi_d = hi[axis];
      centre_[axis][b] = static_cast<float>(0.5 * (lo_d + hi_d));
      half_extent_[axis][b] = static_cast<float>(0.5 * (hi_d - lo_d));
    }
  }
}

}  // namespace depth_toolbox
