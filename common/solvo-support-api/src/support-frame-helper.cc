// Exported poses: world-to-camera in a convention, and relative poses chained from pose queries.
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat3x3.hpp>
#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>
#include <string>

#include "argument-check.h"
#include "exported-call.h"
#include "pose-transform.h"
#include "solvo_support_api.h"

namespace {

constexpr char kWorldTCameraSignature[] =
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

using PoseQuery = SolvoErrorType (*)(double, SolvoCoordinateFramePair, SolvoPoseData*);

constexpr char kRelativePoseSignature[] =
    "SolvoErrorType {anonymous}::SolvoInternalSupport_calculateRelativePose(double, "
    "SolvoCoordinateFrameType, double, SolvoCoordinateFrameType, SolvoPoseData*, SolvoErrorType "
    "(*)(double, SolvoCoordinateFramePair, SolvoPoseData*))";
constexpr char kCalculatePoseMatrixSignature[] =
    "SolvoErrorType {anonymous}::calculatePoseMatrix(SolvoCoordinateFrameType, "
    "SolvoCoordinateFrameType, double, SolvoErrorType (*)(double, SolvoCoordinateFramePair, "
    "SolvoPoseData*), glm::dmat4*)";

// Frames are taken by reference and read through EnumValue: an application may pass any int.
bool IsSensorFrame(const SolvoCoordinateFrameType& frame) {
  const int value = solvo_support_api::EnumValue(frame);
  return value == SOLVO_FRAME_SENSOR_7 || value == SOLVO_FRAME_SENSOR_8 ||
         value == SOLVO_FRAME_SENSOR_9;
}

std::string Decimal(const SolvoCoordinateFrameType& frame) {
  return std::to_string(solvo_support_api::EnumValue(frame));
}

// One query of `pose_query` as a_T_b. A successful answer counts as a valid pose: the service's
// own status fields in the record are not looked at.
SolvoErrorType calculatePoseMatrix(SolvoCoordinateFrameType frame_a,
                                   SolvoCoordinateFrameType frame_b, double timestamp,
                                   PoseQuery pose_query, glm::dmat4* a_T_b) {
  SolvoPoseData pose{};  // the whole record, whatever the query writes into it
  const SolvoCoordinateFramePair frame_pair{frame_a, frame_b};
  if (pose_query(timestamp, frame_pair, &pose) != SOLVO_STATUS_OK) {
    SOLVO_LOG_SIGNATURE_ERROR(kCalculatePoseMatrixSignature,
                              ": could not calculate pose data for frame pair:" + Decimal(frame_a) +
                                  ", " + Decimal(frame_b));
    return SOLVO_STATUS_FAILED;
  }
  *a_T_b = solvo_support_api::TransformFromPoseData(pose);
  return SOLVO_STATUS_OK;
}

double ToSinglePrecision(double value) { return static_cast<double>(static_cast<float>(value)); }

// The frames arrive by reference, so that no copy loads them as enumerations before they are
// checked: an application may pass any int.
SolvoErrorType CalculateRelativePose(double base_timestamp,
                                     const SolvoCoordinateFrameType& base_frame,
                                     double target_timestamp,
                                     const SolvoCoordinateFrameType& target_frame,
                                     SolvoPoseData* base_frame_T_target_frame,
                                     PoseQuery pose_query) {
  if (!IsSensorFrame(target_frame)) {
    return SOLVO_REJECT(kRelativePoseSignature,
                        ": target frame not supported: " + Decimal(target_frame));
  }
  if (!IsSensorFrame(base_frame)) {
    return SOLVO_REJECT(kRelativePoseSignature,
                        ": base frame not supported: " + Decimal(base_frame));
  }
  if (base_timestamp < 0.0)
    return SOLVO_REJECT(kRelativePoseSignature, ": base_timestamp was < 0.0");
  if (target_timestamp < 0.0) {
    return SOLVO_REJECT(kRelativePoseSignature, ": target_timestamp was < 0.0");
  }
  if (base_frame_T_target_frame == nullptr) {
    return SOLVO_REJECT(kRelativePoseSignature, ": base_frame_T_target_frame was null.");
  }
  // Calling through a null query would end the application's process.
  if (pose_query == nullptr) return SOLVO_REJECT(kRelativePoseSignature, ": pose_query was null.");

  // The extrinsics are fixed, so they are asked at time 0; only the device moves.
  glm::dmat4 extrinsics_T_base(1.0);
  glm::dmat4 extrinsics_T_device(1.0);
  glm::dmat4 origin_T_device_at_base_time(1.0);
  glm::dmat4 origin_T_device_at_target_time(1.0);
  glm::dmat4 extrinsics_T_target(1.0);
  SolvoErrorType status = calculatePoseMatrix(SOLVO_FRAME_EXTRINSICS_REFERENCE, base_frame, 0.0,
                                              pose_query, &extrinsics_T_base);
  if (status == SOLVO_STATUS_OK) {
    status = calculatePoseMatrix(SOLVO_FRAME_EXTRINSICS_REFERENCE, SOLVO_FRAME_DEVICE, 0.0,
                                 pose_query, &extrinsics_T_device);
  }
  if (status == SOLVO_STATUS_OK) {
    status = calculatePoseMatrix(SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE, base_timestamp,
                                 pose_query, &origin_T_device_at_base_time);
  }
  if (status == SOLVO_STATUS_OK) {
    status = calculatePoseMatrix(SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE, target_timestamp,
                                 pose_query, &origin_T_device_at_target_time);
  }
  if (status == SOLVO_STATUS_OK) {
    status = calculatePoseMatrix(SOLVO_FRAME_EXTRINSICS_REFERENCE, target_frame, 0.0, pose_query,
                                 &extrinsics_T_target);
  }
  if (status != SOLVO_STATUS_OK) return SOLVO_STATUS_FAILED;

  // base_T_device, device_T_origin at the base time, origin_T_device at the target time, and
  // device_T_target; general inverses, multiplied left to right.
  const glm::dmat4 base_T_target = glm::inverse(extrinsics_T_base) * extrinsics_T_device *
                                   glm::inverse(origin_T_device_at_base_time) *
                                   origin_T_device_at_target_time *
                                   glm::inverse(extrinsics_T_device) * extrinsics_T_target;
  const glm::dquat rotation = glm::quat_cast(glm::dmat3(base_T_target));

  base_frame_T_target_frame->timestamp = 0.0;
  base_frame_T_target_frame->orientation[0] = ToSinglePrecision(rotation.x);
  base_frame_T_target_frame->orientation[1] = ToSinglePrecision(rotation.y);
  base_frame_T_target_frame->orientation[2] = ToSinglePrecision(rotation.z);
  base_frame_T_target_frame->orientation[3] = ToSinglePrecision(rotation.w);
  for (int k = 0; k < 3; ++k) {
    base_frame_T_target_frame->translation[k] = ToSinglePrecision(base_T_target[3][k]);
  }
  base_frame_T_target_frame->frames.base_frame = base_frame;
  base_frame_T_target_frame->frames.target_frame = target_frame;
  return SOLVO_STATUS_OK;
}

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention convention,
                                                const SolvoPoseData* pose, double* translation,
                                                double* orientation) {
  const solvo_support_api::ExportedCall call;
  if (translation == nullptr)
    return SOLVO_REJECT(kWorldTCameraSignature, " translation is nullptr.");
  if (orientation == nullptr)
    return SOLVO_REJECT(kWorldTCameraSignature, " orientation is nullptr.");
  // Reading through a null pose would end the application's process.
  if (pose == nullptr) return SOLVO_REJECT(kWorldTCameraSignature, " pose is nullptr.");

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

SolvoErrorType SolvoInternalSupport_calculateRelativePose(double base_timestamp,
                                                          SolvoCoordinateFrameType base_frame,
                                                          double target_timestamp,
                                                          SolvoCoordinateFrameType target_frame,
                                                          SolvoPoseData* base_frame_T_target_frame,
                                                          PoseQuery pose_query) {
  const solvo_support_api::ExportedCall call;
  return CalculateRelativePose(base_timestamp, base_frame, target_timestamp, target_frame,
                               base_frame_T_target_frame, pose_query);
}

SolvoErrorType SolvoSupport_calculateRelativePose(double base_timestamp,
                                                  SolvoCoordinateFrameType base_frame,
                                                  double target_timestamp,
                                                  SolvoCoordinateFrameType target_frame,
                                                  SolvoPoseData* base_frame_T_target_frame) {
  const solvo_support_api::ExportedCall call;
  return CalculateRelativePose(base_timestamp, base_frame, target_timestamp, target_frame,
                               base_frame_T_target_frame, SolvoService_getPoseAtTime);
}

}  // extern "C"
