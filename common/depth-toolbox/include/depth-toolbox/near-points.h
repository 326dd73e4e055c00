// The depth points that project near a touched pixel of the colour image.
#ifndef DEPTH_TOOLBOX_NEAR_POINTS_H_
#define DEPTH_TOOLBOX_NEAR_POINTS_H_

#include <cstdint>
#include <glm/mat4x4.hpp>
#include <vector>

#include "depth-toolbox/point-block-bounds.h"

namespace depth_toolbox {

// Points strictly closer than this to the touched pixel, in pixels, are near it.
constexpr float kNearRadiusPixels = 100.0f;

// Where a touch falls in the colour image, and how depth points get there.
struct TouchProjection {
  glm::dmat4 color_camera_T_point_cloud;
  double fx, fy, cx, cy;
  float touched_x, touched_y;  // the touched pixel
};

// near[j] = 1 when point j of the n points at `xyz` projects strictly within kNearRadiusPixels
// of the touched pixel, as GatherNearPoints decides, else 0. One of NearPointMarkers().
using NearPointMarker = void (*)(const float* xyz, int n, const TouchProjection& projection,
                                 int32_t* near);

// The points at `xyz` (bounds.NPoints() of them, untransformed, in cloud order, three floats
// each) whose pixel cx + fx * (q.x / q.z), cy + fy * (q.y / q.z), with
// q = color_camera_T_point_cloud * (p, 1) in double and the pixel rounded to float, lies strictly
// within kNearRadiusPixels of the touched pixel in float. Points behind the camera are not
// excluded otherwise; NaN is never near. `bounds` are the block bounds of the points: most of a
// depth frame lies far from the touch, and whole blocks are ruled out by their boxes first.
// `mark` decides the rest, null for the fastest this CPU runs.
std::vector<float> GatherNearPoints(const float* xyz, const PointBlockBounds& bounds,
                                    const TouchProjection& projection,
                                    NearPointMarker mark = nullptr);

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_NEAR_POINTS_H_
