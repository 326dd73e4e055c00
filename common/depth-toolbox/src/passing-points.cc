// The points of a cloud that pass an inlier test, gathered one coordinate per array for the fit.
#include "passing-points.h"

#if DEPTH_TOOLBOX_HAS_LANES && defined(__x86_64__) && !defined(__clang__)
#include <immintrin.h>
#define DEPTH_TOOLBOX_GATHER_AVX512 1
#endif

namespace depth_toolbox {
namespace {

constexpr int kBlockPoints = PointBlockBounds::kPointsPerBlock;

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

#ifdef DEPTH_TOOLBOX_GATHER_AVX512
// GatherPassingOneByOne sixteen points at a time: the same test in the same operations and
// order lane by lane, and the passing lanes packed together by the instruction set's compress.
__attribute__((target("avx512f"))) int GatherPassingAvx512(const float* points, int length,
                                                           const InlierTest& test, bool every,
                                                           float* x, float* y, float* z) {
  using point_groups::Floats16;
  typedef int32_t Ints16 __attribute__((vector_size(64)));
  const InlierTest t = test;  // a copy the stores cannot reach
  int count = 0;
  int j = 0;
  for (; j + 16 <= length; j += 16) {
    Floats16 px, py, pz;
    point_groups::SplitSixteenPoints(points + 3 * j, &px, &py, &pz);
    __mmask16 passes = 0xffff;
    if (!every) {
      const Floats16 offset = py * t.b + px * t.a + pz * t.c;
      const Floats16 value = offset + t.d;
      // Clearing the sign bit is the absolute value.
      const Floats16 magnitude = (Floats16)((Ints16)value & 0x7fffffff);
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

}  // namespace

// Built on its first use, so that it is there for the initialisers of other files as well
// (a benchmark lists the entries before main).
const generic::CpuPaths<GatherPassingFunction>& GatherPassingImplementations() {
  static const generic::CpuPaths<GatherPassingFunction> paths = {
      {"one by one", generic::CpuFeature::kNone, GatherPassingOneByOne},
#ifdef DEPTH_TOOLBOX_GATHER_AVX512
      {"avx512f", generic::CpuFeature::kAvx512f, GatherPassingAvx512},
#endif
  };
  return paths;
}

int PassingPointSource::Next(float* x, float* y, float* z) {
  const GatherPassingFunction gather_passing = GatherPassingImplementations().chosen();
  int count = 0;
  while (next_block_ < bounds_.NBlocks() && count + kBlockPoints <= kChunk) {
    const Eigen::Index block = next_block_++;
    const int32_t verdict = verdicts_[block];
    if (verdict == kNoPointPasses) continue;
    const Eigen::Index begin = bounds_.BlockBegin(block);
    const int length = static_cast<int>(bounds_.BlockEnd(block) - begin);
    const float* points = xyz_ + 3 * begin;
    count += gather_passing(points, length, test_, verdict == kEveryPointPasses, x + count,
                            y + count, z + count);
  }
  return count;
}

}  // namespace depth_toolbox
