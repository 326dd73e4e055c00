// The depth point whose projection into the colour image lies nearest to a pixel.
#ifndef SOLVO_SUPPORT_API_NEAREST_PROJECTION_H_
#define SOLVO_SUPPORT_API_NEAREST_PROJECTION_H_

#include <cstdint>
#include <limits>
#include <vector>

namespace solvo_support_api {

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
struct NearestProjectionScan {
  const char* name;
  NearestProjection (*scan)(const ProjectionQuery&, const float (*)[3], uint32_t);
};

// The implementations this CPU can run, fastest first; FindNearestProjection uses the first.
// Tests and benchmarks run each of them.
std::vector<NearestProjectionScan> NearestProjectionScans();

}  // namespace solvo_support_api

#endif  // SOLVO_SUPPORT_API_NEAREST_PROJECTION_H_
