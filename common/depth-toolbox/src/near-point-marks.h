// The near test of a touch, point by point, in every implementation this CPU can run.
#ifndef DEPTH_TOOLBOX_NEAR_POINT_MARKS_H_
#define DEPTH_TOOLBOX_NEAR_POINT_MARKS_H_

#include "depth-toolbox/near-points.h"
#include "generic/cpu-paths.h"

namespace depth_toolbox {

// Every implementation, plainest first; GatherNearPoints uses the chosen one unless told
// otherwise. They differ in speed only, never in the marks.
const generic::CpuPaths<NearPointMarker>& NearPointMarkers();

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_NEAR_POINT_MARKS_H_
