// The depth point whose projection into the colour image lies nearest to a pixel.
#ifndef DEPTH_TOOLBOX_NEAREST_PROJECTION_H_
#define DEPTH_TOOLBOX_NEAREST_PROJECTION_H_

#include <cstdint>
#include <limits>

#include "generic/cpu-paths.h"

namespace depth_toolbox {

// Everything a scan reads besides the points.
struct ProjectionQuery {
  double color_camera_T_point_cloud[16];  // column-major
  double fx, fy, cx, cy;                  // colour camera intrinsics, pixels
  double u, v;                            // the queried pixel
};

struct NearestProjection {
  // Squared pixel distance of the winner; +infinity when no distance compared less than that.
  double squared_distance = std::numeric_limits<double>::infinity();
  double depth = 0.0;  // the winner's z in the colour camera's frame
};

// Transforms and projects every point in order, in double precision, and returns the first one
// of least squared pixel distance (strictly less wins, so ties keep the earlier point; a NaN
// distance never wins). Points behind the camera are not skipped. A point that provably cannot
// win may be left before its divisions; the result is the same bit for bit. No allocation.
NearestProjection FindNearestProjection(const ProjectionQuery& query, const float (*xyz)[3],
                                        uint32_t point_count);

// One implementation of FindNearestProjection. They differ in speed only, never in the result.
using NearestProjectionScan = NearestProjection (*)(const ProjectionQuery&, const float (*)[3],
                                                    uint32_t);

// Every implementation, plainest first; FindNearestProjection uses the chosen one. Tests and
// benchmarks run each of them.
const generic::CpuPaths<NearestProjectionScan>& NearestProjectionScans();

// The point under the queried pixel, in the colour camera's frame: the pixel's own ray (no
// half-pixel offset: (0, 0) is the image's corner) lifted to the depth of the nearest projection,
// held as a float, when that projection lies within 10 pixels of the pixel (exactly 10 still
// counts). Returns false, `point` (three floats) untouched, when none does. No allocation.
bool PointUnderPixel(const ProjectionQuery& query, const float (*xyz)[3], uint32_t point_count,
                     float* point);

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_NEAREST_PROJECTION_H_
