// The points of a cloud that pass an inlier test, gathered one coordinate per array for the fit.
#ifndef DEPTH_TOOLBOX_PASSING_POINTS_H_
#define DEPTH_TOOLBOX_PASSING_POINTS_H_

#include <Eigen/Core>
#include <cstdint>

#include "block-verdicts.h"
#include "depth-toolbox/point-block-bounds.h"
#include "generic/cpu-paths.h"
#include "inlier-test.h"

namespace depth_toolbox {

// Points go through the least-squares fit in chunks of this many, staged one coordinate per
// array: small enough for the first-level cache, large enough that the bookkeeping does not show.
constexpr int kChunk = 2048;
static_assert(kChunk % PointBlockBounds::kPointsPerBlock == 0, "chunks hold whole blocks");

// Writes the points of the block of `length` points at `points` that pass `test` (every one when
// `every` is set) to x, y, z in order, and returns how many. The arrays must have room for
// `length` values each, beyond what is returned.
using GatherPassingFunction = int (*)(const float* points, int length, const InlierTest& test,
                                      bool every, float* x, float* y, float* z);

// Every implementation, plainest first; the sources below use the chosen one.
const generic::CpuPaths<GatherPassingFunction>& GatherPassingImplementations();

// The points of a cloud that pass a test, in cloud order, with blocks decided by their boxes
// taken whole or skipped. Next writes the next at most kChunk points, one coordinate per array,
// and returns how many (0 at the end); Rewind starts over.
class PassingPointSource {
 public:
  PassingPointSource(const float* xyz, const PointBlockBounds& bounds, const int32_t* verdicts,
                     const InlierTest& test)
      : xyz_(xyz), bounds_(bounds), verdicts_(verdicts), test_(test) {}
  void Rewind() { next_block_ = 0; }
  int Next(float* x, float* y, float* z);

 private:
  const float* xyz_;
  const PointBlockBounds& bounds_;
  const int32_t* verdicts_;
  InlierTest test_;
  Eigen::Index next_block_ = 0;
};

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_PASSING_POINTS_H_
