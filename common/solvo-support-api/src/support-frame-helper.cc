// Exported world-to-camera poses, re-expressed in the world and camera axes of a convention.
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat3x3.hpp>
#include <glm/mat4x4.hpp>

#include "argument-check.h"
#include "pose-transform.h"
#include "solvo_support_api.h"

namespace {

constexpr char kSignature[] =
    "SolvoErrorType {anonymous}::SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention, "
    "const SolvoPoseData*, double*, double*)";

// Column-major. The service's world is z-up; both conventions are y-up.
constexpr double kRightHandedWorldTBaseWorldValues[16] = {1, 0, 0, 0, 0, 0, -1, 0,
                                                          0, 1, 0, 0, 0, 0, 0,  1};
constexpr double kLeftHandedWorldTBaseWorldValues[16] = {1, 0, 0, 0, 0, 0, 1, 0,
                                                         0, 1, 0, 0, 0, 0, 0, 1};
constexpr double kCameraTLeftHandedCameraValues[16] = {1, 0, 0,  0, 0, 1, 0, 0,
                                                       0, 0, -1, 0, 0, 0, 0, 1};

// (x, y, z) -> (x, z, -y): a quarter turn about x.
const glm::dmat4 kRightHandedWorld_T_BaseWorld = glm::make_mat4(kRightHandedWorldTBaseWorldValues);
// (x, y, z) -> (x, z, y): a reflection, so the world becomes left-handed.
const glm::dmat4 kLeftHandedWorld_T_BaseWorld = glm::make_mat4(kLeftHandedWorldTBaseWorldValues);
// (x, y, z) -> (x, y, -z): the second reflection, which makes the result a rotation again.
const glm::dmat4 kCamera_T_LeftHandedCamera = glm::make_mat4(kCameraTLeftHandedCameraValues);

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention convention,
                                                const SolvoPoseData* pose, double* translation,
                                                double* orientation) {
  if (translation == nullptr) return SOLVO_REJECT(kSignature, " translation is nullptr.");
  if (orientation == nullptr) return SOLVO_REJECT(kSignature, " orientation is nullptr.");
  // Reading through a null pose would end the application's process.
  if (pose == nullptr) return SOLVO_REJECT(kSignature, " pose is nullptr.");

  const glm::dmat4 base_world_T_camera = solvo_support_api::TransformFromPoseData(*pose);
  glm::dmat4 world_T_camera;
  switch (solvo_support_api::EnumValue(convention)) {
    case SOLVO_CONVENTION_RIGHT_HANDED_Y_UP:
      world_T_camera = kRightHandedWorld_T_BaseWorld * base_world_T_camera;
      break;
    case SOLVO_CONVENTION_LEFT_HANDED_Y_UP:
      world_T_camera =
          (kLeftHandedWorld_T_BaseWorld * base_world_T_camera) * kCamera_T_LeftHandedCamera;
      break;
    default:
      return SOLVO_STATUS_FAILED;
  }
  const glm::dquat rotation = glm::quat_cast(glm::dmat3(world_T_camera));
  translation[0] = world_T_camera[3][0];
  translation[1] = world_T_camera[3][1];
  translation[2] = world_T_camera[3][2];
  orientation[0] = rotation.x;
  orientation[1] = rotation.y;
  orientation[2] = rotation.z;
  orientation[3] = rotation.w;
  return SOLVO_STATUS_OK;
}

}  // extern "C"
