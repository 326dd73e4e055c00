// The depth points that project near a touched pixel, whole blocks of a frame ruled out at once.
#include "depth-toolbox/near-points.h"

#include <algorithm>
#include <cmath>

#include "near-point-marks.h"

namespace depth_toolbox {
namespace {

// Relative allowance for rounding in the tests that rule out whole blocks of points.
constexpr double kIntervalMargin = 1.0 / (1 << 20);

// The interval that m_r0 x + m_r1 y + m_r2 z + m_r3 (row r of the transform) takes over a block's
// box, widened by 2^-20 of its magnitude: more than the rounding of the box to float and of the
// point-by-point computation in double.
struct Interval {
  double lo;
  double hi;
};

Interval RowOverBox(const glm::dmat4& m, int row, const double* centre, const double* half) {
  double middle =
      (m[0][row] * centre[0] + m[1][row] * centre[1]) + (m[2][row] * centre[2] + m[3][row]);
  double spread = 0.0;
  double magnitude = std::fabs(m[3][row]);
  for (int axis = 0; axis < 3; ++axis) {
    spread += std::fabs(m[axis][row]) * half[axis];
    magnitude += std::fabs(m[axis][row]) * (std::fabs(centre[axis]) + half[axis]);
  }
  const double margin = magnitude * kIntervalMargin;
  return {middle - spread - margin, middle + spread + margin};
}

// Whether no point of the box can project within the radius of the touch along one image axis:
// the pixel coordinate focal * (numerator / depth) + principal of every point of the box lies
// more than the radius from `touched`. The interval of the pixel coordinate is widened by one
// pixel and by 2^-20 of its magnitude, more than the rounding of the point-by-point computation
// in double and of its conversion to float; a pixel more than the radius away in float leaves
// the squared distance at least the squared radius. Any NaN answers false.
bool FarAlongAxis(const Interval& numerator, const Interval& depth, double focal, double principal,
                  float touched) {
  const double ratio_lo = std::min(numerator.lo / depth.lo, numerator.lo / depth.hi);
  const double ratio_hi = std::max(numerator.hi / depth.lo, numerator.hi / depth.hi);
  double pixel_lo = principal + focal * (focal >= 0.0 ? ratio_lo : ratio_hi);
  double pixel_hi = principal + focal * (focal >= 0.0 ? ratio_hi : ratio_lo);
  const double largest_ratio = std::max(std::fabs(ratio_lo), std::fabs(ratio_hi));
  const double slack =
      1.0 + kIntervalMargin * (std::fabs(principal) + std::fabs(focal) * largest_ratio);
  pixel_lo -= slack;
  pixel_hi += slack;
  const double radius = kNearRadiusPixels;
  return pixel_lo > static_cast<double>(touched) + radius ||
         pixel_hi < static_cast<double>(touched) - radius;
}

// Whether no point of `block` can be near the touch. Only boxes wholly in front of the camera
// are decided; the rest go point by point.
bool BlockIsFar(const PointBlockBounds& bounds, Eigen::Index block,
                const TouchProjection& projection) {
  if (bounds.finite()[block] == 0) return false;
  const double centre[3] = {bounds.centre(0)[block], bounds.centre(1)[block],
                            bounds.centre(2)[block]};
  const double half[3] = {bounds.half_extent(0)[block], bounds.half_extent(1)[block],
                          bounds.half_extent(2)[block]};
  const glm::dmat4& m = projection.color_camera_T_point_cloud;
  const Interval depth = RowOverBox(m, 2, centre, half);
  if (!(depth.lo > 0.0)) return false;
  return FarAlongAxis(RowOverBox(m, 0, centre, half), depth, projection.fx, projection.cx,
                      projection.touched_x) ||
         FarAlongAxis(RowOverBox(m, 1, centre, half), depth, projection.fy, projection.cy,
                      projection.touched_y);
}

}  // namespace

std::vector<float> GatherNearPoints(const float* xyz, const PointBlockBounds& bounds,
                                    const TouchProjection& projection, NearPointMarker mark) {
  if (mark == nullptr) mark = NearPointMarkers().chosen();
  // Room for the whole cloud up front: growing would copy, and only the pages written are used.
  std::vector<float> near_points;
  near_points.reserve(3 * static_cast<size_t>(bounds.NPoints()));
  int32_t near[PointBlockBounds::kPointsPerBlock];
  for (Eigen::Index block = 0; block < bounds.NBlocks(); ++block) {
    if (BlockIsFar(bounds, block, projection)) continue;
    const Eigen::Index begin = bounds.BlockBegin(block);
    const int length = static_cast<int>(bounds.BlockEnd(block) - begin);
    const float* points = xyz + 3 * begin;
    mark(points, length, projection, near);
    // Near points come in runs along an image row: one copy per run. Marks are 0 or 1, so eight
    // of them sum to 0 or 8 exactly when all are far or all near.
    constexpr int kGroup = 8;
    const auto group_sum = [&near](int first) {
      int sum = 0;
      for (int k = 0; k < kGroup; ++k) sum += near[first + k];
      return sum;
    };
    for (int j = 0; j < length;) {
      if (near[j] == 0) {
        while (j + kGroup <= length && group_sum(j) == 0) j += kGroup;
        while (j < length && near[j] == 0) ++j;
        continue;
      }
      int end = j + 1;
      while (end + kGroup <= length && group_sum(end) == kGroup) end += kGroup;
      while (end < length && near[end] != 0) ++end;
      near_points.insert(near_points.end(), points + 3 * j, points + 3 * end);
      j = end;
    }
  }
  return near_points;
}

}  // namespace depth_toolbox
