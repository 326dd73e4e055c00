// What an inlier test decides about whole blocks of points, from the blocks' boxes alone.
#ifndef DEPTH_TOOLBOX_BLOCK_VERDICTS_H_
#define DEPTH_TOOLBOX_BLOCK_VERDICTS_H_

#include <cstdint>

#include "depth-toolbox/point-block-bounds.h"
#include "inlier-test.h"

namespace depth_toolbox {

enum BlockVerdict : int32_t { kLookAtEachPoint = 0, kNoPointPasses = 1, kEveryPointPasses = 2 };

// verdicts[block] for every block of `bounds`. The box gives the range of a·x + b·y + c·z + d
// over the block. Three errors separate it from a point's single-precision offset, each a small
// multiple of 2^-24 of |a|·(|centre x| + half x) + ... + |d| (the magnitude): the four roundings
// of the offset itself, the rounding of the box to float, and the rounding of this computation.
// A margin of 2^-18 of the magnitude, plus a term for underflow, covers them all. Blocks with
// non-finite points, and magnitudes near overflow, are left to the point-by-point test.
void ClassifyBlocks(const PointBlockBounds& bounds, const InlierTest& test, int32_t* verdicts);

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_BLOCK_VERDICTS_H_
