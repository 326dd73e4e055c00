// The projection nearest to a pixel, in one pass over a depth cloud, in vector lanes if possible.
#include "nearest-projection.h"

namespace solvo_support_api {
namespace {

using ScanFunction = NearestProjection (*)(const ProjectionQuery&, const float (*)[3], uint32_t);

// Applications rely on the exact winner, so every implementation evaluates each point with the
// same operations in the same order, and the build compiles this file with -ffp-contract=off so
// that no product and sum are fused into one differently rounded instruction.
inline void VisitPoint(const ProjectionQuery& query, const float* point,
                       NearestProjection* nearest) {
  const double x = point[0];
  const double y = point[1];
  const double z = point[2];
  const double* m = query.color_camera_T_point_cloud;
  const double px = m[0] * x + m[4] * y + m[8] * z + m[12];
  const double py = m[1] * x + m[5] * y + m[9] * z + m[13];
  const double pz = m[2] * x + m[6] * y + m[10] * z + m[14];
  const double du = query.fx * px / pz + query.cx - query.u;
  const double dv = query.fy * py / pz + query.cy - query.v;
  const double squared_distance = du * du + dv * dv;
  if (squared_distance < nearest->squared_distance) {
    nearest->squared_distance = squared_distance;
    nearest->depth = pz;
  }
}

NearestProjection ScanOneByOne(const ProjectionQuery& query, const float (*xyz)[3],
                               uint32_t point_count) {
  NearestProjection nearest;
  for (uint32_t i = 0; i < point_count; ++i) VisitPoint(query, xyz[i], &nearest);
  return nearest;
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__aarch64__))
#define SOLVO_NEAREST_PROJECTION_LANES 1

// Vector types of kLanes doubles. Vectors never cross a function boundary by value, so code
// compiled for different instruction sets shares one calling convention.
template <int kLanes>
struct Lanes;

// The points are stored x, y, z one after another; each lane takes one point.
template <>
struct Lanes<2> {
  typedef double Values __attribute__((vector_size(16)));
  typedef int64_t Mask __attribute__((vector_size(16)));
  static inline __attribute__((always_inline)) void Load(const float (*p)[3], Values* x, Values* y,
                                                         Values* z) {
    *x = Values{p[0][0], p[1][0]};
    *y = Values{p[0][1], p[1][1]};
    *z = Values{p[0][2], p[1][2]};
  }
};

template <>
struct Lanes<4> {
  typedef double Values __attribute__((vector_size(32)));
  typedef int64_t Mask __attribute__((vector_size(32)));
  static inline __attribute__((always_inline)) void Load(const float (*p)[3], Values* x, Values* y,
                                                         Values* z) {
    *x = Values{p[0][0], p[1][0], p[2][0], p[3][0]};
    *y = Values{p[0][1], p[1][1], p[2][1], p[3][1]};
    *z = Values{p[0][2], p[1][2], p[2][2], p[3][2]};
  }
};

template <>
struct Lanes<8> {
  typedef double Values __attribute__((vector_size(64)));
  typedef int64_t Mask __attribute__((vector_size(64)));
  static inline __attribute__((always_inline)) void Load(const float (*p)[3], Values* x, Values* y,
                                                         Values* z) {
    *x = Values{p[0][0], p[1][0], p[2][0], p[3][0], p[4][0], p[5][0], p[6][0], p[7][0]};
    *y = Values{p[0][1], p[1][1], p[2][1], p[3][1], p[4][1], p[5][1], p[6][1], p[7][1]};
    *z = Values{p[0][2], p[1][2], p[2][2], p[3][2], p[4][2], p[5][2], p[6][2], p[7][2]};
  }
};

// Lane k sees the points i with i mod kLanes == k and keeps the first nearest of them with its
// index; the lanes are merged by distance and then by index, so the first nearest point of the
// whole cloud wins exactly as in ScanOneByOne.
template <int kLanes>
inline __attribute__((always_inline)) NearestProjection ScanInLanes(const ProjectionQuery& query,
                                                                    const float (*xyz)[3],
                                                                    uint32_t point_count) {
  using Values = typename Lanes<kLanes>::Values;
  using Mask = typename Lanes<kLanes>::Mask;
  NearestProjection nearest;
  uint32_t i = 0;
  if (point_count >= kLanes) {
    const Values ones = Values{} + 1.0;  // ones * s is s in every lane, -0.0 included
    const double* m = query.color_camera_T_point_cloud;
    const Values m0 = ones * m[0], m1 = ones * m[1], m2 = ones * m[2];
    const Values m4 = ones * m[4], m5 = ones * m[5], m6 = ones * m[6];
    const Values m8 = ones * m[8], m9 = ones * m[9], m10 = ones * m[10];
    const Values m12 = ones * m[12], m13 = ones * m[13], m14 = ones * m[14];
    const Values fx = ones * query.fx, fy = ones * query.fy;
    const Values cx = ones * query.cx, cy = ones * query.cy;
    const Values u = ones * query.u, v = ones * query.v;
    Values best_distance = ones * nearest.squared_distance;
    Values best_depth = ones * 0.0;
    Values best_index = ones * 0.0;
    Values index = best_index;
    for (int lane = 0; lane < kLanes; ++lane) index[lane] = lane;
    for (; point_count - i >= kLanes; i += kLanes) {
      Values x, y, z;
      Lanes<kLanes>::Load(xyz + i, &x, &y, &z);
      const Values px = m0 * x + m4 * y + m8 * z + m12;
      const Values py = m1 * x + m5 * y + m9 * z + m13;
      const Values pz = m2 * x + m6 * y + m10 * z + m14;
      const Values du = fx * px / pz + cx - u;
      const Values dv = fy * py / pz + cy - v;
      const Values squared_distance = du * du + dv * dv;
      const Mask nearer = squared_distance < best_distance;
      best_distance = nearer ? squared_distance : best_distance;
      best_depth = nearer ? pz : best_depth;
      best_index = nearer ? index : best_index;
      index += static_cast<double>(kLanes);
    }
    double nearest_index = 0.0;
    for (int lane = 0; lane < kLanes; ++lane) {
      if (best_distance[lane] < nearest.squared_distance ||
          (best_distance[lane] == nearest.squared_distance && best_index[lane] < nearest_index)) {
        nearest.squared_distance = best_distance[lane];
        nearest.depth = best_depth[lane];
        nearest_index = best_index[lane];
      }
    }
  }
  for (; i < point_count; ++i) VisitPoint(query, xyz[i], &nearest);
  return nearest;
}
#endif

#if defined(SOLVO_NEAREST_PROJECTION_LANES) && defined(__x86_64__)
// The lookup runs on an application's render thread: use the widest registers the CPU has.
__attribute__((target("avx512f"))) NearestProjection ScanAvx512(const ProjectionQuery& query,
                                                                const float (*xyz)[3],
                                                                uint32_t point_count) {
  return ScanInLanes<8>(query, xyz, point_count);
}

__attribute__((target("avx2"))) NearestProjection ScanAvx2(const ProjectionQuery& query,
                                                           const float (*xyz)[3],
                                                           uint32_t point_count) {
  return ScanInLanes<4>(query, xyz, point_count);
}
#endif

#ifdef SOLVO_NEAREST_PROJECTION_LANES
NearestProjection ScanTwoLanes(const ProjectionQuery& query, const float (*xyz)[3],
                               uint32_t point_count) {
  return ScanInLanes<2>(query, xyz, point_count);
}
#endif

// Chosen once at load, before any exported function can run.
const ScanFunction kFastestScan = NearestProjectionScans().front().scan;

}  // namespace

std::vector<NearestProjectionScan> NearestProjectionScans() {
  std::vector<NearestProjectionScan> scans;
#if defined(SOLVO_NEAREST_PROJECTION_LANES) && defined(__x86_64__)
  __builtin_cpu_init();  // may run from a load-time initializer, before the runtime's own
  if (__builtin_cpu_supports("avx512f")) scans.push_back({"avx512f", ScanAvx512});
  if (__builtin_cpu_supports("avx2")) scans.push_back({"avx2", ScanAvx2});
#endif
#ifdef SOLVO_NEAREST_PROJECTION_LANES
  scans.push_back({"two lanes", ScanTwoLanes});
#endif
  scans.push_back({"one by one", ScanOneByOne});
  return scans;
}

NearestProjection FindNearestProjection(const ProjectionQuery& query, const float (*xyz)[3],
                                        uint32_t point_count) {
  return kFastestScan(query, xyz, point_count);
}

}  // namespace solvo_support_api
