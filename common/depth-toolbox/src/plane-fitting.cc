// Least-squares and RANSAC plane fits over 3xN single-precision point matrices.
#include "depth-toolbox/plane-fitting.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "depth-toolbox/point-block-bounds.h"
#include "float4.h"
#include "logging/ensure.h"
#include "scatter-sums.h"

namespace depth_toolbox {
namespace {

using geometry_toolbox::PlaneModel;

// Points go through the least-squares fit in chunks of this many, staged one coordinate per
// array: small enough for the first-level cache, large enough that the bookkeeping does not show.
constexpr int kChunk = 2048;
constexpr int kBlockPoints = PointBlockBounds::kPointsPerBlock;
static_assert(kChunk % kBlockPoints == 0, "chunks hold whole blocks");

// Decides in single precision exactly what FindInliers' definition decides, without a division
// per point: (double)|(offset + d) / length| < threshold holds exactly when |offset + d| < bound.
struct InlierTest {
  float a;
  float b;
  float c;
  float d;
  float bound;
};

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

float BitsFloat(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

InlierTest MakeInlierTest(const PlaneModel& plane_model, double threshold) {
  InlierTest test;
  test.a = static_cast<float>(plane_model.a());
  test.b = static_cast<float>(plane_model.b());
  test.c = static_cast<float>(plane_model.c());
  test.d = static_cast<float>(plane_model.d());
  const float length = std::sqrt(test.c * test.c + test.b * test.b + test.a * test.a);
  const auto passes = [length, threshold](uint32_t magnitude_bits) {
    return static_cast<double>(BitsFloat(magnitude_bits) / length) < threshold;
  };
  // A correctly rounded quotient never decreases as the dividend grows, and +inf never passes
  // (inf / length is inf or NaN): the passing magnitudes form [0, bound). The bit patterns of
  // non-negative floats are ordered as their values, so bound is found by bisection on them.
  uint32_t lowest_failing = FloatBits(std::numeric_limits<float>::infinity());
  uint32_t lowest_unknown = 0;
  while (lowest_unknown < lowest_failing) {
    const uint32_t middle = lowest_unknown + (lowest_failing - lowest_unknown) / 2;
    if (passes(middle)) {
      lowest_unknown = middle + 1;
    } else {
      lowest_failing = middle;
    }
  }
  test.bound = BitsFloat(lowest_failing);
  return test;
}

// Whether one point passes `test`: the offset summed as every distance of the library sums it.
inline bool Passes(const float* point, const InlierTest& test) {
  const float offset =
      PlaneModel::SignedOffset(point[0], point[1], point[2], test.a, test.b, test.c);
  return std::fabs(offset + test.d) < test.bound;
}

#if DEPTH_TOOLBOX_HAS_FLOAT4
// Passes for the four points at `xyz`, lane by lane in the same operations and order: -1 in the
// lanes of the points that pass, else 0.
inline Int4 PassesFour(const float* xyz, const InlierTest& test) {
  Float4 x, y, z;
  LoadFourPoints(xyz, &x, &y, &z);
  const Float4 offset = y * test.b + x * test.a + z * test.c;
  const Float4 value = offset + test.d;
  // Clearing the sign bit is the absolute value.
  const Int4 magnitude_bits = (Int4)value & 0x7fffffff;
  return (Float4)magnitude_bits < test.bound;
}
#endif

// keep[j] = 1 when point j of `xyz` (three floats each) passes `test`, else 0. NaN never passes.
void MarkInliers(const float* xyz, int n, const InlierTest& test_in, int32_t* keep) {
  // A copy the stores through `keep` cannot alias: it stays in registers.
  const InlierTest test = test_in;
  int j = 0;
#if DEPTH_TOOLBOX_HAS_FLOAT4
  for (; j + 4 <= n; j += 4) {
    const Int4 passes = -PassesFour(xyz + 3 * j, test);
    std::memcpy(keep + j, &passes, sizeof(passes));
  }
#endif
  for (; j < n; ++j) keep[j] = Passes(xyz + 3 * j, test) ? 1 : 0;
}

// The number of points of `xyz` (n points) that pass `test`, as MarkInliers decides.
int CountInliers(const float* xyz, int n, const InlierTest& test) {
  int j = 0;
  int count = 0;
#if DEPTH_TOOLBOX_HAS_FLOAT4
  Int4 counts = {0, 0, 0, 0};
  for (; j + 4 <= n; j += 4) counts -= PassesFour(xyz + 3 * j, test);
  count = counts[0] + counts[1] + counts[2] + counts[3];
#endif
  for (; j < n; ++j) count += Passes(xyz + 3 * j, test) ? 1 : 0;
  return count;
}

// What a test decides about a whole block of points, from the block's box alone.
enum BlockVerdict : int32_t { kLookAtEachPoint = 0, kNoPointPasses = 1, kEveryPointPasses = 2 };

// verdicts[block] for every block of `bounds`. The box gives the range of a·x + b·y + c·z + d
// over the block. Three errors separate it from a point's single-precision offset, each a small
// multiple of 2^-24 of |a|·(|centre x| + half x) + ... + |d| (the magnitude): the four roundings
// of the offset itself, the rounding of the box to float, and the rounding of this computation.
// A margin of 2^-18 of the magnitude, plus a term for underflow, covers them all. Blocks with
// non-finite points, and magnitudes near overflow, are left to the point-by-point test.
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

// Appends the indices of the passing points of `xyz` (n points), ascending.
void CollectInliers(const float* xyz, Eigen::Index n, const InlierTest& test,
                    std::vector<int>* inlier_indices) {
  int32_t keep[kBlockPoints];
  int block_indices[kBlockPoints];
  for (Eigen::Index begin = 0; begin < n; begin += kBlockPoints) {
    const int length = static_cast<int>(std::min<Eigen::Index>(kBlockPoints, n - begin));
    MarkInliers(xyz + 3 * begin, length, test, keep);
    int kept = 0;
    for (int j = 0; j < length; ++j) {
      block_indices[kept] = static_cast<int>(begin) + j;
      kept += keep[j];
    }
    inlier_indices->insert(inlier_indices->end(), block_indices, block_indices + kept);
  }
}

// The points as one contiguous array of x, y, z triples; `storage` holds a copy only when the
// columns of `points` are not adjacent.
const float* ContiguousPoints(const PointsRef& points, Eigen::Matrix3Xf* storage) {
  if (points.cols() <= 1 || points.outerStride() == 3) return points.data();
  *storage = points;
  return storage->data();
}

// Sources of a sequence of points for FitPlaneToSequence: Next writes the next at most kChunk
// points, one coordinate per array, and returns how many (0 at the end); Rewind starts over.

// Columns of a matrix, all of them or those listed.
class ColumnSource {
 public:
  ColumnSource(const PointsRef& points, const std::vector<int>* indices)
      : points_(points), indices_(indices) {}
  void Rewind() { next_ = 0; }
  int Next(float* x, float* y, float* z) {
    const Eigen::Index total =
        indices_ == nullptr ? points_.cols() : static_cast<Eigen::Index>(indices_->size());
    const int count = static_cast<int>(std::min<Eigen::Index>(kChunk, total - next_));
    for (int k = 0; k < count; ++k) {
      const Eigen::Index column =
          indices_ == nullptr ? next_ + k : (*indices_)[static_cast<size_t>(next_ + k)];
      x[k] = points_(0, column);
      y[k] = points_(1, column);
      z[k] = points_(2, column);
    }
    next_ += count;
    return count;
  }

 private:
  const PointsRef& points_;
  const std::vector<int>* indices_;
  Eigen::Index next_ = 0;
};

// Writes the points of the block of `length` points at `points` that pass `test` (every one when
// `every` is set) to x, y, z in order, and returns how many. The arrays must have room for
// `length` values each, beyond what is returned.
int GatherPassingOneByOne(const float* points, int length, const InlierTest& test, bool every,
                          float* x, float* y, float* z) {
  if (every) {
    for (int j = 0; j < length; ++j) {
      x[j] = points[3 * j];
      y[j] = points[3 * j + 1];
      z[j] = points[3 * j + 2];
    }
    return length;
  }
  int32_t keep[kBlockPoints];
  MarkInliers(points, length, test, keep);
  int count = 0;
  // Every point is written; only a passing one advances the position.
  for (int j = 0; j < length; ++j) {
    x[count] = points[3 * j];
    y[count] = points[3 * j + 1];
    z[count] = points[3 * j + 2];
    count += keep[j];
  }
  return count;
}

#if DEPTH_TOOLBOX_HAS_FLOAT4 && defined(__x86_64__) && !defined(__clang__)
#define DEPTH_TOOLBOX_GATHER_AVX512 1
// GatherPassingOneByOne sixteen points at a time: the same test in the same operations and
// order lane by lane, and the passing lanes packed together by the instruction set's compress.
__attribute__((target("avx512f"))) int GatherPassingAvx512(const float* points, int length,
                                                           const InlierTest& test, bool every,
                                                           float* x, float* y, float* z) {
  typedef float Float16 __attribute__((vector_size(64)));
  typedef int32_t Int16 __attribute__((vector_size(64)));
  const InlierTest t = test;  // a copy the stores cannot reach
  int count = 0;
  int j = 0;
  for (; j + 16 <= length; j += 16) {
    Float16 a, b, c;  // floats 0-15, 16-31 and 32-47 of x0 y0 z0 x1 ...
    std::memcpy(&a, points + 3 * j, sizeof a);
    std::memcpy(&b, points + 3 * j + 16, sizeof b);
    std::memcpy(&c, points + 3 * j + 32, sizeof c);
    const Float16 x_ab =
        __builtin_shuffle(a, b, Int16{0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 0, 0, 0, 0, 0});
    const Float16 y_ab =
        __builtin_shuffle(a, b, Int16{1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 0, 0, 0, 0, 0});
    const Float16 z_ab =
        __builtin_shuffle(a, b, Int16{2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 0, 0, 0, 0, 0, 0});
    const Float16 px =
        __builtin_shuffle(x_ab, c, Int16{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 20, 23, 26, 29});
    const Float16 py =
        __builtin_shuffle(y_ab, c, Int16{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18, 21, 24, 27, 30});
    const Float16 pz =
        __builtin_shuffle(z_ab, c, Int16{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 19, 22, 25, 28, 31});
    __mmask16 passes = 0xffff;
    if (!every) {
      const Float16 offset = py * t.b + px * t.a + pz * t.c;
      const Float16 value = offset + t.d;
      // Clearing the sign bit is the absolute value.
      const Float16 magnitude = (Float16)((Int16)value & 0x7fffffff);
      // Ordered less-than: NaN never passes.
      passes = _mm512_cmp_ps_mask(magnitude, _mm512_set1_ps(t.bound), _CMP_LT_OQ);
    }
    _mm512_storeu_ps(x + count, _mm512_maskz_compress_ps(passes, px));
    _mm512_storeu_ps(y + count, _mm512_maskz_compress_ps(passes, py));
    _mm512_storeu_ps(z + count, _mm512_maskz_compress_ps(passes, pz));
    count += __builtin_popcount(passes);
  }
  for (; j < length; ++j) {
    const float* point = points + 3 * j;
    x[count] = point[0];
    y[count] = point[1];
    z[count] = point[2];
    count += every || Passes(point, t) ? 1 : 0;
  }
  return count;
}
#endif

using GatherPassingFunction = int (*)(const float* points, int length, const InlierTest& test,
                                      bool every, float* x, float* y, float* z);

std::vector<GatherPassingFunction> GatherPassingImplementations() {
  std::vector<GatherPassingFunction> implementations;
#ifdef DEPTH_TOOLBOX_GATHER_AVX512
  __builtin_cpu_init();  // may run from a load-time initializer, before the runtime's own
  if (__builtin_cpu_supports("avx512f")) implementations.push_back(GatherPassingAvx512);
#endif
  implementations.push_back(GatherPassingOneByOne);
  return implementations;
}

// Chosen once at load.
const GatherPassingFunction kGatherPassing = GatherPassingImplementations().front();

// The points of a cloud that pass a test, in cloud order, with blocks decided by their boxes
// taken whole or skipped.
class PassingPointSource {
 public:
  PassingPointSource(const float* xyz, const PointBlockBounds& bounds, const int32_t* verdicts,
                     const InlierTest& test)
      : xyz_(xyz), bounds_(bounds), verdicts_(verdicts), test_(test) {}
  void Rewind() { next_block_ = 0; }
  int Next(float* x, float* y, float* z) {
    int count = 0;
    while (next_block_ < bounds_.NBlocks() && count + kBlockPoints <= kChunk) {
      const Eigen::Index block = next_block_++;
      const int32_t verdict = verdicts_[block];
      if (verdict == kNoPointPasses) continue;
      const Eigen::Index begin = bounds_.BlockBegin(block);
      const int length = static_cast<int>(bounds_.BlockEnd(block) - begin);
      const float* points = xyz_ + 3 * begin;
      count += kGatherPassing(points, length, test_, verdict == kEveryPointPasses, x + count,
                              y + count, z + count);
    }
    return count;
  }

 private:
  const float* xyz_;
  const PointBlockBounds& bounds_;
  const int32_t* verdicts_;
  InlierTest test_;
  Eigen::Index next_block_ = 0;
};

// The least-squares fit behind FitPlaneModel. Every source of points (a matrix, listed columns,
// the inliers of a cloud) goes through the same sums in the same order for the same points, and
// so gives the same plane.

// The centroid's sums: each coordinate summed from the first point on, in order; and the first
// three points, for a fit through exactly three.
struct CentroidSums {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  Eigen::Vector3f first_points[3];
  int n_first = 0;
  Eigen::Index n = 0;

  // The next `count` points of the sequence, one coordinate per array.
  void Add(const float* xs, const float* ys, const float* zs, int count) {
    // Locals: stores through the arrays could otherwise reach the sums.
    float sum_x = x;
    float sum_y = y;
    float sum_z = z;
    for (int k = 0; k < count; ++k) {
      sum_x += xs[k];
      sum_y += ys[k];
      sum_z += zs[k];
    }
    x = sum_x;
    y = sum_y;
    z = sum_z;
    for (int k = 0; k < count && n_first < 3; ++k) {
      first_points[n_first++] = Eigen::Vector3f(xs[k], ys[k], zs[k]);
    }
    n += count;
  }
};

constexpr int kLanes = kScatterLanes;

void AddScatterOneByOne(const float* x, const float* y, const float* z, Eigen::Index count,
                        const float* m, float (*sums)[kLanes]) {
  // Locals, so that the sums stay in registers.
  float s[6][kLanes];
  std::memcpy(s, sums, sizeof s);
  const float m_x = m[0];
  const float m_y = m[1];
  const float m_z = m[2];
  for (Eigen::Index k = 0; k < count; k += kLanes) {
    for (int lane = 0; lane < kLanes; ++lane) {
      const float c_x = x[k + lane] - m_x;
      const float c_y = y[k + lane] - m_y;
      const float c_z = z[k + lane] - m_z;
      s[0][lane] += c_x * c_x;
      s[1][lane] += c_x * c_y;
      s[2][lane] += c_x * c_z;
      s[3][lane] += c_y * c_y;
      s[4][lane] += c_y * c_z;
      s[5][lane] += c_z * c_z;
    }
  }
  std::memcpy(sums, s, sizeof s);
}

#if DEPTH_TOOLBOX_HAS_FLOAT4 && defined(__x86_64__)
typedef float Float8 __attribute__((vector_size(32)));

// AddScatterOneByOne with the kLanes lanes on one 256-bit register each, lane by lane the same
// operations.
__attribute__((target("avx2"))) void AddScatterAvx2(const float* x, const float* y, const float* z,
                                                    Eigen::Index count, const float* m,
                                                    float (*sums)[kLanes]) {
  static_assert(kLanes == 8, "one register per sum");
  Float8 s[6];
  std::memcpy(s, sums, sizeof s);
  const Float8 m_x = Float8{} + m[0];
  const Float8 m_y = Float8{} + m[1];
  const Float8 m_z = Float8{} + m[2];
  for (Eigen::Index k = 0; k < count; k += kLanes) {
    Float8 c_x, c_y, c_z;
    std::memcpy(&c_x, x + k, sizeof c_x);
    std::memcpy(&c_y, y + k, sizeof c_y);
    std::memcpy(&c_z, z + k, sizeof c_z);
    c_x -= m_x;
    c_y -= m_y;
    c_z -= m_z;
    s[0] += c_x * c_x;
    s[1] += c_x * c_y;
    s[2] += c_x * c_z;
    s[3] += c_y * c_y;
    s[4] += c_y * c_z;
    s[5] += c_z * c_z;
  }
  std::memcpy(sums, s, sizeof s);
}
#endif

// Chosen once at load.
const AddScatterFunction kAddScatter = AddScatterImplementations().front().add;

struct ScatterSums {
  float sums[6][kLanes] = {};

  void Add(const float* x, const float* y, const float* z, Eigen::Index count, float m_x, float m_y,
           float m_z) {
    const float m[3] = {m_x, m_y, m_z};
    kAddScatter(x, y, z, count, m, sums);
  }
};

// The plane from the centroid's sums; `scatter_pass(m_x, m_y, m_z, &scatter)` adds every point
// of the sequence to `scatter`, the last group padded with the centroid (which adds exact
// zeros). Fewer than 3 points give false.
template <typename ScatterPass>
bool PlaneFromSums(const CentroidSums& sums, ScatterPass&& scatter_pass, PlaneModel* plane_model) {
  const Eigen::Index n = sums.n;
  if (n < 3) return false;
  const float n_f = static_cast<float>(n);
  const Eigen::Vector3f centroid(sums.x / n_f, sums.y / n_f, sums.z / n_f);

  Eigen::Vector3f normal;
  if (n == 3) {
    // Unnormalised on purpose: its length is twice the triangle's area.
    const Eigen::Vector3f& p2 = sums.first_points[2];
    normal = (p2 - sums.first_points[0]).cross(p2 - sums.first_points[1]);
    const float length =
        std::sqrt(normal.x() * normal.x() + normal.y() * normal.y() + normal.z() * normal.z());
    if (!(length > 1e-9f)) return false;
  } else {
    ScatterSums scatter_sums;
    scatter_pass(centroid.x(), centroid.y(), centroid.z(), &scatter_sums);
    const auto combine = [](const float* lanes) {
      return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) +
             ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
    };
    Eigen::Matrix3f scatter;
    scatter(0, 0) = combine(scatter_sums.sums[0]);
    scatter(1, 0) = scatter(0, 1) = combine(scatter_sums.sums[1]);
    scatter(2, 0) = scatter(0, 2) = combine(scatter_sums.sums[2]);
    scatter(1, 1) = combine(scatter_sums.sums[3]);
    scatter(2, 1) = scatter(1, 2) = combine(scatter_sums.sums[4]);
    scatter(2, 2) = combine(scatter_sums.sums[5]);
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3f> solver(scatter);
    // Non-finite coordinates leave the iteration without an answer.
    if (solver.info() != Eigen::Success) return false;
    const Eigen::Vector3f& values = solver.eigenvalues();
    const int nonzero = (values[0] != 0.0f) + (values[1] != 0.0f) + (values[2] != 0.0f);
    // Coincident or collinear points span no plane.
    if (nonzero < 2) return false;
    int smallest = values[0] > values[1] ? 1 : 0;
    if (values[2] < values[smallest]) smallest = 2;
    normal = solver.eigenvectors().col(smallest);
  }
  plane_model->a() = static_cast<double>(normal.x());
  plane_model->b() = static_cast<double>(normal.y());
  plane_model->c() = static_cast<double>(normal.z());
  plane_model->d() = -(static_cast<double>(centroid.z()) * plane_model->c() +
                       static_cast<double>(centroid.y()) * plane_model->b() +
                       static_cast<double>(centroid.x()) * plane_model->a());
  return true;
}

// The fit over the points of `source`, whose number goes to `n_points`, read twice in chunks.
template <typename Source>
bool FitPlaneToSequence(Source& source, PlaneModel* plane_model, Eigen::Index* n_points) {
  alignas(16) float x[kChunk + kLanes];
  alignas(16) float y[kChunk + kLanes];
  alignas(16) float z[kChunk + kLanes];
  CentroidSums sums;
  source.Rewind();
  for (int count; (count = source.Next(x, y, z)) > 0;) sums.Add(x, y, z, count);
  *n_points = sums.n;
  const auto scatter_pass = [&](float m_x, float m_y, float m_z, ScatterSums* scatter) {
    // Points short of a whole group of kLanes wait at the front of the buffers for the next
    // chunk.
    int waiting = 0;
    source.Rewind();
    for (;;) {
      const int count = source.Next(x + waiting, y + waiting, z + waiting);
      const int total = waiting + count;
      int ready = total / kLanes * kLanes;
      if (count == 0 && ready < total) {
        ready += kLanes;
        for (int k = total; k < ready; ++k) {
          x[k] = m_x;
          y[k] = m_y;
          z[k] = m_z;
        }
      }
      scatter->Add(x, y, z, ready, m_x, m_y, m_z);
      if (count == 0) break;
      waiting = total - ready;
      for (int k = 0; k < waiting; ++k) {
        x[k] = x[ready + k];
        y[k] = y[ready + k];
        z[k] = z[ready + k];
      }
    }
  };
  return PlaneFromSums(sums, scatter_pass, plane_model);
}

// The fit over the points of `source` gathered once up front, one coordinate per array: deciding
// which points of a cloud pass a test costs more than keeping them. The centroid is summed as
// they come, while the next are decided, and the scatter read straight from the arrays.
template <typename Source>
bool FitGatheredPoints(Source& source, Eigen::Index capacity, PlaneModel* plane_model,
                       Eigen::Index* n_points) {
  // A source may write a whole chunk beyond the points it gives.
  const size_t size = static_cast<size_t>(capacity + kChunk);
  std::unique_ptr<float[]> x(new float[size]);
  std::unique_ptr<float[]> y(new float[size]);
  std::unique_ptr<float[]> z(new float[size]);
  CentroidSums sums;
  Eigen::Index n = 0;
  source.Rewind();
  for (int count; (count = source.Next(x.get() + n, y.get() + n, z.get() + n)) > 0;) {
    sums.Add(x.get() + n, y.get() + n, z.get() + n, count);
    n += count;
    ENSURE(n <= capacity);
  }
  *n_points = n;
  const auto scatter_pass = [&](float m_x, float m_y, float m_z, ScatterSums* scatter) {
    Eigen::Index ready = n / kLanes * kLanes;
    if (ready < n) {
      ready += kLanes;
      for (Eigen::Index k = n; k < ready; ++k) {
        x[k] = m_x;
        y[k] = m_y;
        z[k] = m_z;
      }
    }
    scatter->Add(x.get(), y.get(), z.get(), ready, m_x, m_y, m_z);
  };
  return PlaneFromSums(sums, scatter_pass, plane_model);
}

// The fit over the points of the cloud at `xyz` that pass `test`, with `verdicts` the blocks'
// verdicts under that test.
bool FitPassingPoints(const float* xyz, const PointBlockBounds& bounds, const int32_t* verdicts,
                      const InlierTest& test, PlaneModel* plane_model, Eigen::Index* n_points) {
  Eigen::Index capacity = 0;
  for (Eigen::Index block = 0; block < bounds.NBlocks(); ++block) {
    if (verdicts[block] != kNoPointPasses) {
      capacity += bounds.BlockEnd(block) - bounds.BlockBegin(block);
    }
  }
  PassingPointSource passing(xyz, bounds, verdicts, test);
  return FitGatheredPoints(passing, capacity, plane_model, n_points);
}

}  // namespace

std::vector<AddScatterImplementation> AddScatterImplementations() {
  std::vector<AddScatterImplementation> implementations;
#if DEPTH_TOOLBOX_HAS_FLOAT4 && defined(__x86_64__)
  __builtin_cpu_init();  // may run from a load-time initializer, before the runtime's own
  if (__builtin_cpu_supports("avx2")) implementations.push_back({"avx2", AddScatterAvx2});
#endif
  implementations.push_back({"one by one", AddScatterOneByOne});
  return implementations;
}

void FindInliers(const PointsRef& points, const PlaneModel& plane_model, double threshold,
                 std::vector<int>* inlier_indices) {
  ENSURE_NOT_NULL(inlier_indices);
  inlier_indices->clear();
  Eigen::Matrix3Xf storage;
  const float* xyz = ContiguousPoints(points, &storage);
  CollectInliers(xyz, points.cols(), MakeInlierTest(plane_model, threshold), inlier_indices);
}

void SelectColumns(const PointsRef& points_in, const std::vector<int>& indices,
                   Eigen::Matrix3Xf* points_out) {
  ENSURE_NOT_NULL(points_out);
  ENSURE(indices.size() == static_cast<unsigned int>(points_out->cols()));
  for (size_t i = 0; i < indices.size(); ++i) {
    const int index = indices[i];
    ENSURE(index >= 0);
    ENSURE(index < points_in.cols());
    points_out->col(static_cast<Eigen::Index>(i)) = points_in.col(index);
  }
}

bool FitPlaneModel(const PointsRef& points, PlaneModel* plane_model) {
  ENSURE_NOT_NULL(plane_model);
  ENSURE(points.cols() >= 3);
  ColumnSource source(points, nullptr);
  Eigen::Index n_points;
  return FitPlaneToSequence(source, plane_model, &n_points);
}

bool FitPlaneModel(const PointsRef& points, const std::vector<int>& indices,
                   PlaneModel* plane_model) {
  ENSURE_NOT_NULL(plane_model);
  ENSURE(indices.size() >= 3);
  for (const int index : indices) {
    ENSURE(index >= 0);
    ENSURE(index < points.cols());
  }
  ColumnSource source(points, &indices);
  Eigen::Index n_points;
  return FitPlaneToSequence(source, plane_model, &n_points);
}

bool RefitPlaneModel(const PointsRef& points, const PlaneModel& plane_model, double threshold,
                     PlaneModel* refitted, Eigen::Index* n_inliers) {
  ENSURE_NOT_NULL(refitted);
  ENSURE_NOT_NULL(n_inliers);
  Eigen::Matrix3Xf storage;
  const float* xyz = ContiguousPoints(points, &storage);
  const PointBlockBounds bounds(xyz, points.cols());
  return RefitPlaneModel(Eigen::Map<const Eigen::Matrix3Xf>(xyz, 3, points.cols()), bounds,
                         plane_model, threshold, refitted, n_inliers);
}

bool RefitPlaneModel(const PointsRef& points, const PointBlockBounds& bounds,
                     const PlaneModel& plane_model, double threshold, PlaneModel* refitted,
                     Eigen::Index* n_inliers) {
  ENSURE_NOT_NULL(refitted);
  ENSURE_NOT_NULL(n_inliers);
  ENSURE(bounds.NPoints() == points.cols());
  ENSURE(points.cols() <= 1 || points.outerStride() == 3);
  const float* xyz = points.data();
  const InlierTest test = MakeInlierTest(plane_model, threshold);
  std::vector<int32_t> verdicts(static_cast<size_t>(bounds.NBlocks()));
  ClassifyBlocks(bounds, test, verdicts.data());
  return FitPassingPoints(xyz, bounds, verdicts.data(), test, refitted, n_inliers);
}

void SampleWithoutReplacement(uint32_t n_samples, int max_range, generic::Engine& generator,
                              std::vector<int>* samples) {
  ENSURE_NOT_NULL(samples);
  ENSURE(n_samples <= static_cast<unsigned int>(max_range + 1));
  samples->clear();
  if (n_samples == 0) return;
  while (samples->size() < n_samples) {
    const int value = generic::UniformInt(generator, 0, max_range);
    if (std::find(samples->begin(), samples->end(), value) == samples->end()) {
      samples->push_back(value);
    }
  }
}

bool FitPlaneModelRansac(const engine_data::PointCloud& cloud, int max_iterations,
                         double distance_threshold, double sufficient_inlier_ratio,
                         double minimum_inlier_ratio, PlaneModel* plane_model) {
  ENSURE_NOT_NULL(plane_model);
  ENSURE(0.0 <= minimum_inlier_ratio);
  ENSURE(minimum_inlier_ratio <= sufficient_inlier_ratio);
  ENSURE(sufficient_inlier_ratio <= 1.0);
  const uint32_t size = cloud.NPoints();
  ENSURE(static_cast<unsigned int>(size) >= kMinRequiredPoints)
      << "Cloud does not have enough points to fit a plane using RANSAC.";
  const Eigen::Map<const Eigen::Matrix3Xf> points = cloud.Points();
  const float* xyz = points.data();
  ENSURE(xyz != nullptr);
  const double size_d = static_cast<double>(size);
  // Every candidate is tested against every point: boxes around runs of points decide most runs
  // at once.
  const PointBlockBounds bounds(xyz, size);
  const Eigen::Index n_blocks = bounds.NBlocks();
  std::vector<int32_t> verdicts(static_cast<size_t>(n_blocks));

  // One generator per run: concurrent runs share nothing, and a fixed seed replays a run exactly.
  generic::RandomGeneratorProvider provider;
  std::vector<int> sample;
  Eigen::Matrix3Xf sample_points(3, 3);
  // Only the best candidate's inliers are ever used, and a candidate's inliers are fully
  // determined by its test: keep its count and test, and go through its inliers once at the end.
  uint32_t best_count = 0;
  double best_ratio = 0.0;
  InlierTest best_test{};
  for (int iteration = 0; iteration < max_iterations; ++iteration) {
    SampleWithoutReplacement(3, static_cast<int>(size - 1), provider.generator(), &sample);
    SelectColumns(points, sample, &sample_points);
    PlaneModel candidate;
    if (!FitPlaneModel(sample_points, &candidate)) continue;
    const InlierTest test = MakeInlierTest(candidate, distance_threshold);

    // A candidate that can no longer beat the best count nor reach the sufficient ratio changes
    // nothing: stop counting it. The blocks decided by their boxes are counted first, so that
    // hopeless candidates are given up before any point is looked at.
    ClassifyBlocks(bounds, test, verdicts.data());
    uint32_t count = 0;
    uint32_t unseen = 0;
    for (Eigen::Index block = 0; block < n_blocks; ++block) {
      const uint32_t length =
          static_cast<uint32_t>(bounds.BlockEnd(block) - bounds.BlockBegin(block));
      const int32_t verdict = verdicts[static_cast<size_t>(block)];
      count += verdict == kEveryPointPasses ? length : 0;
      unseen += verdict == kLookAtEachPoint ? length : 0;
    }
    const auto cannot_matter = [&] {
      const uint32_t at_most = count + unseen;
      return at_most <= best_count &&
             static_cast<double>(at_most) / size_d < sufficient_inlier_ratio;
    };
    bool can_matter = !cannot_matter();
    constexpr int kBlocksBetweenChecks = 16;
    int blocks_since_check = 0;
    for (Eigen::Index block = 0; can_matter && block < n_blocks; ++block) {
      if (verdicts[static_cast<size_t>(block)] != kLookAtEachPoint) continue;
      const Eigen::Index begin = bounds.BlockBegin(block);
      const int length = static_cast<int>(bounds.BlockEnd(block) - begin);
      count += static_cast<uint32_t>(CountInliers(xyz + 3 * begin, length, test));
      unseen -= static_cast<uint32_t>(length);
      if (++blocks_since_check == kBlocksBetweenChecks) {
        blocks_since_check = 0;
        can_matter = !cannot_matter();
      }
    }
    if (!can_matter) continue;

    // A later candidate with the same count does not replace the earlier one.
    if (count > best_count) {
      best_count = count;
      best_ratio = static_cast<double>(count) / size_d;
      best_test = test;
    }
    const double ratio = static_cast<double>(count) / size_d;
    if (sufficient_inlier_ratio <= ratio && best_count >= 3) break;
  }

  if (best_count < 3 || !(best_ratio >= minimum_inlier_ratio)) return false;
  ClassifyBlocks(bounds, best_test, verdicts.data());
  Eigen::Index n_inliers;
  return FitPassingPoints(xyz, bounds, verdicts.data(), best_test, plane_model, &n_inliers);
}

}  // namespace depth_toolbox
