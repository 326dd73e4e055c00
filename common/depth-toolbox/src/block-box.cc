// The box around one run of points, in every implementation this CPU can run.
#include "block-box.h"

#include <algorithm>
#include <cstring>

#include "point-groups.h"

namespace depth_toolbox {
namespace {

// Bounds of the n_points points at `xyz`; returns whether all their coordinates are finite. The
// comparisons of the bounds pass over NaN; a sum of all coordinates does not: it is finite when
// every coordinate is (or, harmlessly, not when huge values overflow it). Minima and maxima of
// finite values do not depend on the order they are taken in (but for the sign of a zero bound,
// which no test on a box tells apart), so implementations may split the work differently; only
// the sum, and so the rare overflow, may differ, and a block taken for non-finite is merely
// looked at point by point.
bool BlockBoxOneByOne(const float* xyz, int n_points, float* lo, float* hi) {
  for (int axis = 0; axis < 3; ++axis) lo[axis] = hi[axis] = xyz[axis];
  float finite_check = 0.0f;
  const int n_floats = 3 * n_points;
  for (int k = 0; k < n_floats; ++k) {
    lo[k % 3] = std::min(lo[k % 3], xyz[k]);
    hi[k % 3] = std::max(hi[k % 3], xyz[k]);
    finite_check += xyz[k];
  }
  return finite_check - finite_check == 0.0f;
}

#if DEPTH_TOOLBOX_HAS_LANES
// kWidth points at a time on three registers of kWidth floats: lane l of register i always holds
// coordinate (kWidth i + l) % 3.
template <int kWidth>
inline __attribute__((always_inline)) bool BlockBoxInLanes(const float* xyz, int n_points,
                                                           float* lo_out, float* hi_out) {
  // Local bounds, which stores through the outputs cannot reach.
  float lo[3];
  float hi[3];
  // Vectors stay inside this function: no call passes or returns one, whatever the target.
  typedef float Floats __attribute__((vector_size(4 * kWidth)));
  for (int axis = 0; axis < 3; ++axis) lo[axis] = hi[axis] = xyz[axis];
  float finite_check = 0.0f;
  const int n_floats = 3 * n_points;
  int k = 0;
  constexpr int kFloatsPerStep = 3 * kWidth;
  if (n_floats >= kFloatsPerStep) {
    // Named registers rather than arrays, so that they stay in registers.
    Floats lo0, lo1, lo2;
    std::memcpy(&lo0, xyz, sizeof lo0);
    std::memcpy(&lo1, xyz + kWidth, sizeof lo1);
    std::memcpy(&lo2, xyz + 2 * kWidth, sizeof lo2);
    Floats hi0 = lo0, hi1 = lo1, hi2 = lo2;
    Floats check0 = lo0 - lo0, check1 = check0, check2 = check0;
    for (; k + kFloatsPerStep <= n_floats; k += kFloatsPerStep) {
      Floats v0, v1, v2;
      std::memcpy(&v0, xyz + k, sizeof v0);
      std::memcpy(&v1, xyz + k + kWidth, sizeof v1);
      std::memcpy(&v2, xyz + k + 2 * kWidth, sizeof v2);
      // A NaN value leaves the bound as it is.
      lo0 = v0 < lo0 ? v0 : lo0;
      lo1 = v1 < lo1 ? v1 : lo1;
      lo2 = v2 < lo2 ? v2 : lo2;
      hi0 = v0 > hi0 ? v0 : hi0;
      hi1 = v1 > hi1 ? v1 : hi1;
      hi2 = v2 > hi2 ? v2 : hi2;
      check0 += v0;
      check1 += v1;
      check2 += v2;
    }
    // The finite check in any order: the three registers first, then their lanes.
    const Floats check = check0 + check1 + check2;
    float lo_v[3][kWidth], hi_v[3][kWidth], check_v[kWidth];
    std::memcpy(lo_v[0], &lo0, sizeof lo0);
    std::memcpy(lo_v[1], &lo1, sizeof lo1);
    std::memcpy(lo_v[2], &lo2, sizeof lo2);
    std::memcpy(hi_v[0], &hi0, sizeof hi0);
    std::memcpy(hi_v[1], &hi1, sizeof hi1);
    std::memcpy(hi_v[2], &hi2, sizeof hi2);
    std::memcpy(check_v, &check, sizeof check);
    for (int l = 0; l < kWidth; ++l) finite_check += check_v[l];
    for (int i = 0; i < 3; ++i) {
      for (int l = 0; l < kWidth; ++l) {
        const int axis = (kWidth * i + l) % 3;
        lo[axis] = std::min(lo[axis], lo_v[i][l]);
        hi[axis] = std::max(hi[axis], hi_v[i][l]);
      }
    }
  }
  for (; k < n_floats; ++k) {
    lo[k % 3] = std::min(lo[k % 3], xyz[k]);
    hi[k % 3] = std::max(hi[k % 3], xyz[k]);
    finite_check += xyz[k];
  }
  for (int axis = 0; axis < 3; ++axis) {
    lo_out[axis] = lo[axis];
    hi_out[axis] = hi[axis];
  }
  return finite_check - finite_check == 0.0f;
}

bool BlockBoxFourLanes(const float* xyz, int n_points, float* lo, float* hi) {
  return BlockBoxInLanes<4>(xyz, n_points, lo, hi);
}
#endif

#if DEPTH_TOOLBOX_HAS_LANES && defined(__x86_64__)
// Every point of a frame goes through here once per fit. 512-bit registers measured slower: their
// lanes take longer to combine at the end of a block than they save.
__attribute__((target("avx2"))) bool BlockBoxAvx2(const float* xyz, int n_points, float* lo,
                                                  float* hi) {
  return BlockBoxInLanes<8>(xyz, n_points, lo, hi);
}
#endif

}  // namespace

// Built on its first use, so that it is there for the initialisers of other files as well
// (a benchmark lists the entries before main).
const generic::CpuPaths<BlockBoxFunction>& BlockBoxImplementations() {
  static const generic::CpuPaths<BlockBoxFunction> paths = {
    {"one by one", generic::CpuFeature::kNone, BlockBoxOneByOne},
#if DEPTH_TOOLBOX_HAS_LANES
    {"four lanes", generic::CpuFeature::kNone, BlockBoxFourLanes},
#endif
#if DEPTH_TOOLBOX_HAS_LANES && defined(__x86_64__)
    {"avx2", generic::CpuFeature::kAvx2, BlockBoxAvx2},
#endif
  };
  return paths;
}

}  // namespace depth_toolbox
