// Boundary conversions and checks of point clouds for the plane modules.
#ifndef SOLVO_SUPPORT_API_SUPPORT_DEPTH_TOOLBOX_H_
#define SOLVO_SUPPORT_API_SUPPORT_DEPTH_TOOLBOX_H_

#include <cstdint>
#include <glm/mat4x4.hpp>
#include <vector>

#include "depth-toolbox/point-block-bounds.h"
#include "engine-data/solvo-hal-point-cloud.h"
#include "solvo_support_api.h"

namespace solvo_support_api {

// A HAL record that borrows the points of `point_cloud`: it must not outlive them and must not
// be released.
void SolvoHalPointCloudFromSolvoXYZ(const SolvoXYZij& point_cloud, SolvoHalPointCloud* hal_cloud);

// The point cloud check shared by the exported plane fits: a null cloud, fewer than three points,
// or no point array write one error line that begins with `signature`, the signature text of
// the function the application called, and give SOLVO_STATUS_BAD_ARGUMENT.
SolvoErrorType CheckPointCloud(const SolvoXYZij* point_cloud, const char* signature);

// Where a touch falls in the colour image, and how depth points get there.
struct Projection {
  glm::dmat4 color_camera_T_point_cloud;
  double fx, fy, cx, cy;
  float touched_x, touched_y;  // the touched pixel
};

// near[j] = 1 when point j of the n points at `xyz` projects strictly within 100 pixels of the
// touched pixel, as GatherNearPoints decides, else 0.
using NearPointMarker = void (*)(const float* xyz, int n, const Projection& projection,
                                 int32_t* near);

// One implementation of the near test. They differ in speed only, never in the result.
struct NearPointMarking {
  const char* name;
  NearPointMarker mark;
};

// The implementations this CPU can run, fastest first; GatherNearPoints uses the first unless
// told otherwise. Tests run each of them.
std::vector<NearPointMarking> NearPointMarkers();

// The points of `point_cloud` (untransformed, in cloud order, three floats each) whose pixel
// cx + fx * (q.x / q.z), cy + fy * (q.y / q.z), with q = color_camera_T_point_cloud * (p, 1) in
// double and the pixel rounded to float, lies strictly within 100 pixels of the touched pixel
// in float. Points behind the camera are not excluded otherwise; NaN is never near.
// `bounds` are the block bounds of the cloud's points; `mark` one of NearPointMarkers(), null
// for the fastest.
std::vector<float> GatherNearPoints(const SolvoXYZij& point_cloud,
                                    const depth_toolbox::PointBlockBounds& bounds,
                                    const Projection& projection, NearPointMarker mark = nullptr);

// Seconds to nanoseconds, truncated toward zero; NaN gives 0 and values beyond int64_t saturate.
int64_t TimestampNanoseconds(double timestamp_s);

}  // namespace solvo_support_api

#endif  // SOLVO_SUPPORT_API_SUPPORT_DEPTH_TOOLBOX_H_
