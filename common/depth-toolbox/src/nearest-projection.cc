// The projection nearest to a pixel, in one pass over a depth cloud, in vector lanes if possible.
#include "depth-toolbox/nearest-projection.h"

#include <cmath>
#include <cstring>

#include "point-groups.h"

namespace depth_toolbox {
namespace {

// Applications rely on the exact winner, so every implementation evaluates each point with the
// same operations in the same order, and the whole build forbids fusing a product and a sum into
// one differently rounded instruction (-ffp-contract=off).
inline double ProjectedDepth(const ProjectionQuery& query, const float* point) {
  const double* m = query.color_camera_T_point_cloud;
  return m[2] * double{point[0]} + m[6] * double{point[1]} + m[10] * double{point[2]} + m[14];
}

inline double SquaredPixelDistance(const ProjectionQuery& query, const float* point) {
  const double x = point[0];
  const double y = point[1];
  const double z = point[2];
  const double* m = query.color_camera_T_point_cloud;
  const double px = m[0] * x + m[4] * y + m[8] * z + m[12];
  const double py = m[1] * x + m[5] * y + m[9] * z + m[13];
  const double pz = m[2] * x + m[6] * y + m[10] * z + m[14];
  const double du = query.fx * px / pz + query.cx - query.u;
  const double dv = query.fy * py / pz + query.cy - query.v;
  return du * du + dv * dv;
}

// The first point of least distance so far, by index: its depth is computed once at the end, from
// the same operations that gave its distance.
struct Winner {
  double squared_distance = std::numeric_limits<double>::infinity();
  uint32_t index = 0;
  bool found = false;

  inline void Offer(double squared_distance_of_index, uint32_t offered_index) {
    if (squared_distance_of_index < squared_distance) {
      squared_distance = squared_distance_of_index;
      index = offered_index;
      found = true;
    }
  }

  NearestProjection Result(const ProjectionQuery& query, const float (*xyz)[3]) const {
    NearestProjection nearest;
    if (found) {
      nearest.squared_distance = squared_distance;
      nearest.depth = ProjectedDepth(query, xyz[index]);
    }
    return nearest;
  }
};

// Most points of a frame project far to the side of the queried pixel; once a near point is
// known, such points are recognised as losers without their two divisions. The column offset
// du = fl(fl(q + cx) - u) of the quotient q = fl(fx px / pz) never decreases as q grows, since
// each correctly rounded step keeps order. So if one quotient `high` gives du >= 0 and
// fl(du du) >= best, every quotient q >= high does as well, and then the point's squared distance
// fl(fl(du du) + fl(dv dv)) is at least best, or NaN: it loses the strict comparison. Likewise
// for quotients at or below a `low` with du <= 0.
//
// Whether q >= high is decided without the division. With |high| in [2^-900, 2^800] and pz in
// [2^-20, 2^191] (no finite pz exceeds that while the matrix entries that make it stay within
// 2^60), the product of pz with a factor 2^-50 relatively beyond high is a normal double, and
// rounds strictly beyond high pz; so fx px >= fl(factor pz) gives the real quotient
// fx px / pz > high, and its rounding q >= high. Infinite values decide the same way: an infinite
// fx px has an infinite quotient, and an infinite pz makes the product infinite, so that either
// fx px is infinite too (a NaN quotient, which loses) or high < 0 <= |q| with q zero.
class LosingSides {
 public:
  explicit LosingSides(const ProjectionQuery& query)
      : query_(query),
        bounded_(std::isfinite(query.cx) && std::isfinite(query.u) &&
                 std::fabs(query.color_camera_T_point_cloud[2]) <= 0x1p60 &&
                 std::fabs(query.color_camera_T_point_cloud[6]) <= 0x1p60 &&
                 std::fabs(query.color_camera_T_point_cloud[10]) <= 0x1p60 &&
                 std::fabs(query.color_camera_T_point_cloud[14]) <= 0x1p60) {}

  // Recomputed only when the best distance has changed: the sides for an earlier, greater best
  // still hold for every later one.
  void Update(double best) {
    if (best == best_) return;
    best_ = best;
    above_ = Factor(1.0);
    below_ = Factor(-1.0);
  }

  // The factors: fx px >= above pz or fx px <= below pz loses, for pz >= kLeastDepth. NaN where
  // no bound was found: comparisons with NaN never reject a point.
  double above() const { return above_; }
  double below() const { return below_; }
  static constexpr double kLeastDepth = 0x1p-20;

  bool Loses(double fx_px, double pz) const {
    return pz >= kLeastDepth && (fx_px >= above_ * pz || fx_px <= below_ * pz);
  }

 private:
  // The factor beyond which every quotient loses to best_, above the pixel for direction 1,
  // below for -1. A candidate is checked with the very operations a point goes through, so only
  // their monotonicity is relied upon, not the accuracy of the candidate.
  double Factor(double direction) const {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    if (!bounded_ || !(best_ >= 0.0 && std::isfinite(best_))) return kNone;
    const double radius = std::sqrt(best_);
    double margin = (std::fabs(query_.u) + std::fabs(query_.cx) + radius) * 0x1p-40 + 0x1p-800;
    for (int attempt = 0; attempt < 4; ++attempt, margin *= 0x1p20) {
      double quotient = query_.u - query_.cx + direction * (radius + margin);
      const double offset = quotient + query_.cx - query_.u;
      if (direction * offset >= 0.0 && offset * offset >= best_) {
        // Any quotient further out loses as well: move it into the range the products need.
        if (std::fabs(quotient) < 0x1p-900) quotient = direction * 0x1p-900;
        if (direction * quotient < -0x1p800) quotient = -direction * 0x1p800;
        if (direction * quotient > 0x1p800) return kNone;
        return quotient + direction * (std::fabs(quotient) * 0x1p-50);
      }
    }
    return kNone;
  }

  const ProjectionQuery& query_;
  const bool bounded_;
  double best_ = std::numeric_limits<double>::quiet_NaN();  // the distance the sides are for
  double above_ = std::numeric_limits<double>::quiet_NaN();
  double below_ = std::numeric_limits<double>::quiet_NaN();
};

NearestProjection ScanOneByOne(const ProjectionQuery& query, const float (*xyz)[3],
                               uint32_t point_count) {
  constexpr uint32_t kBlockPoints = 64;
  const double* m = query.color_camera_T_point_cloud;
  Winner winner;
  LosingSides sides(query);
  for (uint32_t block = 0; block < point_count; block += kBlockPoints) {
    sides.Update(winner.squared_distance);
    const uint32_t end = point_count - block > kBlockPoints ? block + kBlockPoints : point_count;
    for (uint32_t i = block; i < end; ++i) {
      const double x = xyz[i][0];
      const double y = xyz[i][1];
      const double z = xyz[i][2];
      const double pz = m[2] * x + m[6] * y + m[10] * z + m[14];
      const double px = m[0] * x + m[4] * y + m[8] * z + m[12];
      const double fx_px = query.fx * px;
      if (sides.Loses(fx_px, pz)) continue;
      const double py = m[1] * x + m[5] * y + m[9] * z + m[13];
      const double du = fx_px / pz + query.cx - query.u;
      const double dv = query.fy * py / pz + query.cy - query.v;
      winner.Offer(du * du + dv * dv, i);
    }
  }
  return winner.Result(query, xyz);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__aarch64__))
#define DEPTH_TOOLBOX_NEAREST_PROJECTION_LANES 1

// Vector types of kLanes doubles. Vectors never cross a function boundary by value, so code
// compiled for different instruction sets shares one calling convention.
template <int kLanes>
struct Lanes {
  typedef double Values __attribute__((vector_size(8 * kLanes)));
  typedef int64_t Mask __attribute__((vector_size(8 * kLanes)));
};

typedef float Floats2 __attribute__((vector_size(8)));
using point_groups::Floats4;
using point_groups::Floats8;

// The points are stored x, y, z one after another. Whole groups of points are loaded as floats,
// sorted into one vector per coordinate and only then widened, which is exact.
template <int kLanes>
struct PointGroup;

// Built lane by lane, GCC widens the whole vector in one instruction; __builtin_convertvector
// widens it in halves and joins them.
inline __attribute__((always_inline)) void Widen(const Floats2& f, Lanes<2>::Values* wide) {
  *wide = Lanes<2>::Values{f[0], f[1]};
}
inline __attribute__((always_inline)) void Widen(const Floats4& f, Lanes<4>::Values* wide) {
  *wide = Lanes<4>::Values{f[0], f[1], f[2], f[3]};
}
inline __attribute__((always_inline)) void Widen(const Floats8& f, Lanes<8>::Values* wide) {
  *wide = Lanes<8>::Values{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

// One bit per lane, lane 0 lowest, for whether a >= b: the bits of several comparisons are
// combined in integer registers. GCC would combine the comparisons' lanes slowly before testing
// them, and turns a 512-bit comparison's mask register into a vector first. (Clang, as above,
// refuses the wide registers here.)
template <typename Values>
inline __attribute__((always_inline)) int GreaterOrEqualBits(const Values& a, const Values& b) {
  constexpr int kLanes = sizeof a / sizeof a[0];
#if defined(__x86_64__) && !defined(__clang__)
  int bits;
  if constexpr (kLanes == 2) {
    const auto mask = a >= b;
    asm("movmskpd %1, %0" : "=r"(bits) : "x"(mask));
  } else if constexpr (kLanes == 4) {
    const auto mask = a >= b;
    asm("vmovmskpd %1, %0" : "=r"(bits) : "x"(mask));
  } else {
    static_assert(kLanes == 8, "vectors of 2, 4 or 8 doubles");
    // Predicate 13 is >=, signalling on NaN like the operator.
    asm("vcmppd $13, %2, %1, %%k1\n\tkmovw %%k1, %0" : "=r"(bits) : "v"(a), "v"(b) : "k1");
  }
  return bits;
#else
  const auto mask = a >= b;
  int bits = 0;
  for (int lane = 0; lane < kLanes; ++lane) bits |= (mask[lane] != 0 ? 1 : 0) << lane;
  return bits;
#endif
}

template <>
struct PointGroup<2> {
  static constexpr int kPoints = 4;
  using Values = Lanes<2>::Values;
  static inline __attribute__((always_inline)) void Load(const float* p, Values* x, Values* y,
                                                         Values* z) {
    Floats4 x4, y4, z4;
    point_groups::SplitFourPoints(p, &x4, &y4, &z4);
    Widen(__builtin_shufflevector(x4, x4, 0, 1), x + 0);
    Widen(__builtin_shufflevector(y4, y4, 0, 1), y + 0);
    Widen(__builtin_shufflevector(z4, z4, 0, 1), z + 0);
    Widen(__builtin_shufflevector(x4, x4, 2, 3), x + 1);
    Widen(__builtin_shufflevector(y4, y4, 2, 3), y + 1);
    Widen(__builtin_shufflevector(z4, z4, 2, 3), z + 1);
  }
};

template <>
struct PointGroup<4> {
  static constexpr int kPoints = 4;
  using Values = Lanes<4>::Values;
  static inline __attribute__((always_inline)) void Load(const float* p, Values* x, Values* y,
                                                         Values* z) {
    Floats4 x4, y4, z4;
    point_groups::SplitFourPoints(p, &x4, &y4, &z4);
    Widen(x4, x);
    Widen(y4, y);
    Widen(z4, z);
  }
};

template <>
struct PointGroup<8> {
  static constexpr int kPoints = 8;
  using Values = Lanes<8>::Values;
  static inline __attribute__((always_inline)) void Load(const float* p, Values* x, Values* y,
                                                         Values* z) {
    Floats8 x8, y8, z8;
    point_groups::SplitEightPoints(p, &x8, &y8, &z8);
    Widen(x8, x);
    Widen(y8, y);
    Widen(z8, z);
  }
};

// The distances of a block of points are computed in lanes and kept; only a block holding a
// distance below the best so far is searched again, in order and with the same strict
// comparison, so the first nearest point of the whole cloud wins exactly as in ScanOneByOne. The
// depth no lane has to carry is recomputed for the winner alone. A step whose points all lose
// (LosingSides) records them as infinitely far, which loses the same comparisons.
template <int kLanes, int kGroupsPerStep>
inline __attribute__((always_inline)) NearestProjection ScanInLanes(const ProjectionQuery& query,
                                                                    const float (*xyz)[3],
                                                                    uint32_t point_count) {
  using Values = typename Lanes<kLanes>::Values;
  using Mask = typename Lanes<kLanes>::Mask;
  constexpr int kGroupPoints = PointGroup<kLanes>::kPoints;
  constexpr int kGroupVectors = kGroupPoints / kLanes;
  constexpr int kStepPoints = kGroupPoints * kGroupsPerStep;
  constexpr int kVectors = kStepPoints / kLanes;
  constexpr uint32_t kBlockPoints = 64;
  Winner winner;
  uint32_t i = 0;
  if (point_count >= kBlockPoints) {
    const Values ones = Values{} + 1.0;  // ones * s is s in every lane, -0.0 included
    const double* m = query.color_camera_T_point_cloud;
    const Values m0 = ones * m[0], m1 = ones * m[1], m2 = ones * m[2];
    const Values m4 = ones * m[4], m5 = ones * m[5], m6 = ones * m[6];
    const Values m8 = ones * m[8], m9 = ones * m[9], m10 = ones * m[10];
    const Values m12 = ones * m[12], m13 = ones * m[13], m14 = ones * m[14];
    const Values fx = ones * query.fx, fy = ones * query.fy;
    const Values cx = ones * query.cx, cy = ones * query.cy;
    const Values u = ones * query.u, v = ones * query.v;
    const Values least_depth = ones * LosingSides::kLeastDepth;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const Values infinity = ones * kInfinity;
    LosingSides sides(query);
    double distances[kBlockPoints];
    for (; point_count - i >= kBlockPoints; i += kBlockPoints) {
      sides.Update(winner.squared_distance);
      const Values above = ones * sides.above(), below = ones * sides.below();
      const Values best = ones * winner.squared_distance;
      Values least = best;
      for (int step = 0; step < static_cast<int>(kBlockPoints); step += kStepPoints) {
        // Each operation for all vectors of the step before the next: the chain of one vector is
        // long, and the vectors' chains overlap only if their operations arrive together.
        Values x[kVectors], y[kVectors], z[kVectors];
        for (int g = 0; g < kGroupsPerStep; ++g) {
          const int first = g * kGroupVectors;
          PointGroup<kLanes>::Load(xyz[i + step + g * kGroupPoints], x + first, y + first,
                                   z + first);
        }
        Values px[kVectors], py[kVectors], pz[kVectors], fx_px[kVectors];
        for (int k = 0; k < kVectors; ++k) pz[k] = m2 * x[k] + m6 * y[k] + m10 * z[k] + m14;
        for (int k = 0; k < kVectors; ++k) px[k] = m0 * x[k] + m4 * y[k] + m8 * z[k] + m12;
        for (int k = 0; k < kVectors; ++k) fx_px[k] = fx * px[k];
        int losing = (1 << kLanes) - 1;
        for (int k = 0; k < kVectors; ++k) {
          losing &= GreaterOrEqualBits(pz[k], least_depth) &
                    (GreaterOrEqualBits(fx_px[k], above * pz[k]) |
                     GreaterOrEqualBits(below * pz[k], fx_px[k]));
        }
        if (losing == (1 << kLanes) - 1) {
          for (int k = 0; k < kVectors; ++k) {
            std::memcpy(distances + step + k * kLanes, &infinity, sizeof infinity);
          }
          continue;
        }
        for (int k = 0; k < kVectors; ++k) py[k] = m1 * x[k] + m5 * y[k] + m9 * z[k] + m13;
        Values du[kVectors], dv[kVectors];
        for (int k = 0; k < kVectors; ++k) du[k] = fx_px[k] / pz[k] + cx - u;
        for (int k = 0; k < kVectors; ++k) dv[k] = fy * py[k] / pz[k] + cy - v;
        for (int k = 0; k < kVectors; ++k) {
          const Values squared_distance = du[k] * du[k] + dv[k] * dv[k];
          std::memcpy(distances + step + k * kLanes, &squared_distance, sizeof squared_distance);
          least = squared_distance < least ? squared_distance : least;  // a NaN never enters
        }
      }
      const Mask nearer = least < best;
      bool any_nearer = false;
      for (int lane = 0; lane < kLanes; ++lane) any_nearer |= nearer[lane] != 0;
      if (any_nearer) {
        for (uint32_t j = 0; j < kBlockPoints; ++j) winner.Offer(distances[j], i + j);
      }
    }
  }
  for (; i < point_count; ++i) winner.Offer(SquaredPixelDistance(query, xyz[i]), i);
  return winner.Result(query, xyz);
}
#endif
#if defined(DEPTH_TOOLBOX_NEAREST_PROJECTION_LANES) && defined(__x86_64__)
// The lookup runs on an application's render thread: use the widest registers the CPU has. Two
// groups a step keep the 512-bit lanes busy; in the narrower ones they only crowd the registers.
__attribute__((target("avx512f"))) NearestProjection ScanAvx512(const ProjectionQuery& query,
                                                                const float (*xyz)[3],
                                                                uint32_t point_count) {
  return ScanInLanes<8, 2>(query, xyz, point_count);
}

__attribute__((target("avx2"))) NearestProjection ScanAvx2(const ProjectionQuery& query,
                                                           const float (*xyz)[3],
                                                           uint32_t point_count) {
  return ScanInLanes<4, 1>(query, xyz, point_count);
}
#endif

#ifdef DEPTH_TOOLBOX_NEAREST_PROJECTION_LANES
NearestProjection ScanTwoLanes(const ProjectionQuery& query, const float (*xyz)[3],
                               uint32_t point_count) {
  return ScanInLanes<2, 1>(query, xyz, point_count);
}
#endif

// A projection within 10 pixels of the queried pixel gives the depth; exactly 10 still counts.
constexpr double kMaxSquaredPixelDistance = 100.0;

}  // namespace

// Built on its first use, so that it is there for the initialisers of other files as well
// (a benchmark lists the entries before main).
const generic::CpuPaths<NearestProjectionScan>& NearestProjectionScans() {
  static const generic::CpuPaths<NearestProjectionScan> paths = {
    {"one by one", generic::CpuFeature::kNone, ScanOneByOne},
#ifdef DEPTH_TOOLBOX_NEAREST_PROJECTION_LANES
    {"two lanes", generic::CpuFeature::kNone, ScanTwoLanes},
#endif
#if defined(DEPTH_TOOLBOX_NEAREST_PROJECTION_LANES) && defined(__x86_64__)
    {"avx2", generic::CpuFeature::kAvx2, ScanAvx2},
    {"avx512f", generic::CpuFeature::kAvx512f, ScanAvx512},
#endif
  };
  return paths;
}

NearestProjection FindNearestProjection(const ProjectionQuery& query, const float (*xyz)[3],
                                        uint32_t point_count) {
  return NearestProjectionScans().chosen()(query, xyz, point_count);
}

bool PointUnderPixel(const ProjectionQuery& query, const float (*xyz)[3], uint32_t point_count,
                     float* point) {
  const NearestProjection nearest = FindNearestProjection(query, xyz, point_count);
  if (nearest.squared_distance > kMaxSquaredPixelDistance) return false;
  // The queried pixel's own ray at the neighbour's depth, which is held as a float.
  const double z = static_cast<float>(nearest.depth);
  point[0] = static_cast<float>(z * (query.u - query.cx) / query.fx);
  point[1] = static_cast<float>(z * (query.v - query.cy) / query.fy);
  point[2] = static_cast<float>(z);
  return true;
}

}  // namespace depth_toolbox
