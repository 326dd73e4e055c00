// The inlier test of a plane, decided for one point or four at a time without a division.
#ifndef DEPTH_TOOLBOX_INLIER_TEST_H_
#define DEPTH_TOOLBOX_INLIER_TEST_H_

#include <cmath>
#include <cstdint>
#include <cstring>

#include "geometry-toolbox/plane-model.h"
#include "point-groups.h"

namespace depth_toolbox {

// Decides in single precision exactly what FindInliers' definition decides, without a division
// per point: (double)|(offset + d) / length| < threshold holds exactly when |offset + d| < bound.
struct InlierTest {
  float a;
  float b;
  float c;
  float d;
  float bound;
};

InlierTest MakeInlierTest(const geometry_toolbox::PlaneModel& plane_model, double threshold);

// Whether one point passes `test`: the offset summed as every distance of the library sums it.
inline bool Passes(const float* point, const InlierTest& test) {
  const float offset = geometry_toolbox::PlaneModel::SignedOffset(point[0], point[1], point[2],
                                                                  test.a, test.b, test.c);
  return std::fabs(offset + test.d) < test.bound;
}

#if DEPTH_TOOLBOX_HAS_LANES
// Passes for the four points at `xyz`, lane by lane in the same operations and order: -1 in the
// lanes of the points that pass, else 0.
inline point_groups::Ints4 PassesFour(const float* xyz, const InlierTest& test) {
  using point_groups::Floats4;
  using point_groups::Ints4;
  Floats4 x, y, z;
  point_groups::SplitFourPoints(xyz, &x, &y, &z);
  const Floats4 offset = y * test.b + x * test.a + z * test.c;
  const Floats4 value = offset + test.d;
  // Clearing the sign bit is the absolute value.
  const Ints4 magnitude_bits = (Ints4)value & 0x7fffffff;
  return (Floats4)magnitude_bits < test.bound;
}
#endif

// keep[j] = 1 when point j of `xyz` (three floats each) passes `test`, else 0. NaN never passes.
inline void MarkInliers(const float* xyz, int n, const InlierTest& test_in, int32_t* keep) {
  // A copy the stores through `keep` cannot alias: it stays in registers.
  const InlierTest test = test_in;
  int j = 0;
#if DEPTH_TOOLBOX_HAS_LANES
  for (; j + 4 <= n; j += 4) {
    const point_groups::Ints4 passes = -PassesFour(xyz + 3 * j, test);
    std::memcpy(keep + j, &passes, sizeof(passes));
  }
#endif
  for (; j < n; ++j) keep[j] = Passes(xyz + 3 * j, test) ? 1 : 0;
}

// The number of points of `xyz` (n points) that pass `test`, as MarkInliers decides.
inline int CountInliers(const float* xyz, int n, const InlierTest& test) {
  int j = 0;
  int count = 0;
#if DEPTH_TOOLBOX_HAS_LANES
  point_groups::Ints4 counts = {0, 0, 0, 0};
  for (; j + 4 <= n; j += 4) counts -= PassesFour(xyz + 3 * j, test);
  count = counts[0] + counts[1] + counts[2] + counts[3];
#endif
  for (; j < n; ++j) count += Passes(xyz + 3 * j, test) ? 1 : 0;
  return count;
}

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_INLIER_TEST_H_
