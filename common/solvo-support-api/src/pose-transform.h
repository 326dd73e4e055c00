// A pose record as a 4x4 double transform: base_T_target, column-major.
#ifndef SOLVO_SUPPORT_API_POSE_TRANSFORM_H_
#define SOLVO_SUPPORT_API_POSE_TRANSFORM_H_

#include <glm/mat4x4.hpp>

#include "solvo_support_api.h"

namespace solvo_support_api {

// Reads only `orientation` (x, y, z, w, used as given, not normalised) and `translation`; the
// result rotates by the quaternion, then translates.
glm::dmat4 TransformFromPoseData(const SolvoPoseData& pose);

}  // namespace solvo_support_api

#endif  // SOLVO_SUPPORT_API_POSE_TRANSFORM_H_
