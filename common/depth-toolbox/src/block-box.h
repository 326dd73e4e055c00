// The box around one run of points, in every implementation this CPU can run.
#ifndef DEPTH_TOOLBOX_BLOCK_BOX_H_
#define DEPTH_TOOLBOX_BLOCK_BOX_H_

#include "generic/cpu-paths.h"

namespace depth_toolbox {

// lo[axis] and hi[axis] receive the least and greatest coordinates of the n_points (at least 1)
// points at `xyz`; returns whether every coordinate is finite. For a run of finite points the
// box is the same in every implementation; only a sum that overflows may make one of them call
// the run non-finite. The box of a non-finite run is meaningless.
using BlockBoxFunction = bool (*)(const float* xyz, int n_points, float* lo, float* hi);

// Every implementation, plainest first; PointBlockBounds uses the chosen one.
const generic::CpuPaths<BlockBoxFunction>& BlockBoxImplementations();

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_BLOCK_BOX_H_
