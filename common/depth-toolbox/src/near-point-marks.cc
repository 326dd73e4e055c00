// The near test of a touch, point by point, in every implementation this CPU can run.
#include "near-point-marks.h"

#include <cstring>

#include "point-groups.h"

namespace depth_toolbox {
namespace {

// near[j] = 1 when point j of `xyz` projects strictly within kNearRadiusPixels of the touch.
// The pixel is computed in double and rounded to float, the distance in float: the rounding
// decides points at the rim. sqrt(s) < 100 holds exactly when s < 10000 (the square root is
// correctly rounded and increasing), which spares a square root per point; NaN is never near.
// Every implementation below goes through the same operations in the same order, lane by lane,
// and the file is compiled without fused multiply-adds.
inline int32_t NearOne(const float* p, const TouchProjection& projection) {
  const glm::dmat4& m = projection.color_camera_T_point_cloud;
  const double x = p[0];
  const double y = p[1];
  const double z = p[2];
  // The matrix-vector product in GLM's order: (c0 x + c1 y) + (c2 z + c3 * 1).
  const double q_x = (m[0][0] * x + m[1][0] * y) + (m[2][0] * z + m[3][0]);
  const double q_y = (m[0][1] * x + m[1][1] * y) + (m[2][1] * z + m[3][1]);
  const double q_z = (m[0][2] * x + m[1][2] * y) + (m[2][2] * z + m[3][2]);
  const float x_p = static_cast<float>(projection.cx + projection.fx * (q_x / q_z));
  const float y_p = static_cast<float>(projection.cy + projection.fy * (q_y / q_z));
  const float dy = y_p - projection.touched_y;
  const float dx = x_p - projection.touched_x;
  return dy * dy + dx * dx < kNearRadiusPixels * kNearRadiusPixels ? 1 : 0;
}

void MarkNearOneByOne(const float* xyz, int n, const TouchProjection& projection, int32_t* near) {
  for (int j = 0; j < n; ++j) near[j] = NearOne(xyz + 3 * j, projection);
}

#if DEPTH_TOOLBOX_HAS_LANES
#define DEPTH_TOOLBOX_NEAR_POINT_LANES 1

template <int kLanes>
struct NearLanes {
  typedef double Doubles __attribute__((vector_size(8 * kLanes)));
  typedef float Floats __attribute__((vector_size(4 * kLanes)));
  typedef int32_t Ints __attribute__((vector_size(4 * kLanes)));
};

// kLanes consecutive points, one vector per coordinate, widened exactly to double.
template <int kLanes>
struct NearPointLoad {
  static inline __attribute__((always_inline)) void Load(const float* p,
                                                         typename NearLanes<kLanes>::Doubles* x,
                                                         typename NearLanes<kLanes>::Doubles* y,
                                                         typename NearLanes<kLanes>::Doubles* z) {
    for (int lane = 0; lane < kLanes; ++lane) {
      (*x)[lane] = p[3 * lane];
      (*y)[lane] = p[3 * lane + 1];
      (*z)[lane] = p[3 * lane + 2];
    }
  }
};

#if defined(__x86_64__) && !defined(__clang__)
// Four points are three loads, eight points two.
template <>
struct NearPointLoad<4> {
  using Doubles = NearLanes<4>::Doubles;
  static inline __attribute__((always_inline)) void Load(const float* p, Doubles* x, Doubles* y,
                                                         Doubles* z) {
    point_groups::Floats4 x4, y4, z4;
    point_groups::SplitFourPoints(p, &x4, &y4, &z4);
    *x = __builtin_convertvector(x4, Doubles);
    *y = __builtin_convertvector(y4, Doubles);
    *z = __builtin_convertvector(z4, Doubles);
  }
};

template <>
struct NearPointLoad<8> {
  using Doubles = NearLanes<8>::Doubles;
  static inline __attribute__((always_inline)) void Load(const float* p, Doubles* x, Doubles* y,
                                                         Doubles* z) {
    point_groups::Floats8 x8, y8, z8;
    point_groups::SplitEightPoints(p, &x8, &y8, &z8);
    *x = __builtin_convertvector(x8, Doubles);
    *y = __builtin_convertvector(y8, Doubles);
    *z = __builtin_convertvector(z8, Doubles);
  }
};
#endif

// NearOne for kLanes points at a time.
template <int kLanes>
inline __attribute__((always_inline)) void MarkNearInLanes(const float* __restrict xyz, int n,
                                                           const TouchProjection& projection,
                                                           int32_t* __restrict near) {
  using Doubles = typename NearLanes<kLanes>::Doubles;
  using Floats = typename NearLanes<kLanes>::Floats;
  using Ints = typename NearLanes<kLanes>::Ints;
  const glm::dmat4& m = projection.color_camera_T_point_cloud;
  const double m00 = m[0][0], m01 = m[1][0], m02 = m[2][0], m03 = m[3][0];
  const double m10 = m[0][1], m11 = m[1][1], m12 = m[2][1], m13 = m[3][1];
  const double m20 = m[0][2], m21 = m[1][2], m22 = m[2][2], m23 = m[3][2];
  const double fx = projection.fx, fy = projection.fy, cx = projection.cx, cy = projection.cy;
  const float touched_x = projection.touched_x;
  const float touched_y = projection.touched_y;
  constexpr float kRadiusSquared = kNearRadiusPixels * kNearRadiusPixels;
  int j = 0;
  for (; j + kLanes <= n; j += kLanes) {
    Doubles x, y, z;
    NearPointLoad<kLanes>::Load(xyz + 3 * j, &x, &y, &z);
    const Doubles q_x = (m00 * x + m01 * y) + (m02 * z + m03);
    const Doubles q_y = (m10 * x + m11 * y) + (m12 * z + m13);
    const Doubles q_z = (m20 * x + m21 * y) + (m22 * z + m23);
    const Doubles u = cx + fx * (q_x / q_z);
    const Doubles v = cy + fy * (q_y / q_z);
    const Floats dy = __builtin_convertvector(v, Floats) - touched_y;
    const Floats dx = __builtin_convertvector(u, Floats) - touched_x;
    const Ints passes = -(dy * dy + dx * dx < kRadiusSquared);
    std::memcpy(near + j, &passes, sizeof passes);
  }
  for (; j < n; ++j) near[j] = NearOne(xyz + 3 * j, projection);
}

void MarkNearTwoLanes(const float* xyz, int n, const TouchProjection& projection, int32_t* near) {
  MarkNearInLanes<2>(xyz, n, projection, near);
}
#endif

#if defined(DEPTH_TOOLBOX_NEAR_POINT_LANES) && defined(__x86_64__) && !defined(__clang__)
// The divisions dominate: the widest registers the CPU has divide the most points at once.
__attribute__((target("avx512f"))) void MarkNearAvx512(const float* xyz, int n,
                                                       const TouchProjection& projection,
                                                       int32_t* near) {
  MarkNearInLanes<8>(xyz, n, projection, near);
}

__attribute__((target("avx2"))) void MarkNearAvx2(const float* xyz, int n,
                                                  const TouchProjection& projection,
                                                  int32_t* near) {
  MarkNearInLanes<4>(xyz, n, projection, near);
}
#define DEPTH_TOOLBOX_NEAR_POINT_WIDE_LANES 1
#endif

}  // namespace

// Built on its first use, so that it is there for the initialisers of other files as well
// (a benchmark lists the entries before main).
const generic::CpuPaths<NearPointMarker>& NearPointMarkers() {
  static const generic::CpuPaths<NearPointMarker> paths = {
      {"one by one", generic::CpuFeature::kNone, MarkNearOneByOne},
#ifdef DEPTH_TOOLBOX_NEAR_POINT_LANES
      {"two lanes", generic::CpuFeature::kNone, MarkNearTwoLanes},
#endif
#ifdef DEPTH_TOOLBOX_NEAR_POINT_WIDE_LANES
      {"avx2", generic::CpuFeature::kAvx2, MarkNearAvx2},
      {"avx512f", generic::CpuFeature::kAvx512f, MarkNearAvx512},
#endif
  };
  return paths;
}

}  // namespace depth_toolbox
