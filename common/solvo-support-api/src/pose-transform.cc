// Pose records to 4x4 transforms.
#include "pose-transform.h"

#include <glm/mat3x3.hpp>

namespace solvo_support_api {

glm::dmat4 TransformFromPoseData(const SolvoPoseData& pose) {
  const double x = pose.orientation[0];
  const double y = pose.orientation[1];
  const double z = pose.orientation[2];
  const double w = pose.orientation[3];
  // GLM is column-major: block[c] is column c.
  const glm::dmat3 block(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w),
                         2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                         2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y));
  glm::dmat4 transform(block);
  transform[3] = glm::dvec4(pose.translation[0], pose.translation[1], pose.translation[2], 1.0);
  return transform;
}

}  // namespace solvo_support_api
