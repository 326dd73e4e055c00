/* The service's pose query, answered by a simulated device or by a source the host installs. */
#include <math.h>
#include <solvo_client_api.h>
#include <solvo_client_api_simulation.h>
#include <stddef.h>

/* A rigid pose: unit quaternion x, y, z, w and translation in metres. */
typedef struct SimulatedPose {
  double orientation[4];
  double translation[3];
} SimulatedPose;

/* Fixed extrinsics, base frame 5: the device body and three cameras a few centimetres apart,
 * each turned a little, so that no product of them hides a transposed or swapped factor. */
static const SimulatedPose kExtrinsicsReferenceTDevice = {
    {0.0087265, -0.0043633, 0.0130896, 0.9998596}, {0.010, -0.020, 0.005}};
static const SimulatedPose kExtrinsicsReferenceTSensor7 = {{0.7071068, 0.0, 0.0, 0.7071068},
                                                           {0.032, 0.004, -0.011}};
static const SimulatedPose kExtrinsicsReferenceTSensor8 = {
    {0.6963642, 0.1227878, -0.1227878, 0.6963642}, {-0.025, 0.003, -0.009}};
static const SimulatedPose kExtrinsicsReferenceTSensor9 = {{0.5, 0.5, -0.5, 0.5},
                                                           {0.060, -0.001, -0.012}};

static void Normalize(double q[4]) {
  const double norm = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  for (int k = 0; k < 4; ++k) q[k] /= norm;
}

/* q = a * b (Hamilton product), x, y, z, w order. */
static void Multiply(const double a[4], const double b[4], double q[4]) {
  q[0] = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
  q[1] = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
  q[2] = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
  q[3] = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
}

/* The device walks a slow loop through the room, turning about the vertical (z up in frame 2)
 * and nodding a little; position and orientation are smooth in `t` (seconds). */
static SimulatedPose TrackingOriginTDevice(double t) {
  SimulatedPose pose;
  const double yaw = 0.3 * t + 0.1 * sin(t);
  const double pitch = 0.05 * sin(0.7 * t);
  const double about_z[4] = {0.0, 0.0, sin(0.5 * yaw), cos(0.5 * yaw)};
  const double about_x[4] = {sin(0.5 * pitch), 0.0, 0.0, cos(0.5 * pitch)};
  Multiply(about_z, about_x, pose.orientation);
  Normalize(pose.orientation);
  pose.translation[0] = 1.5 * sin(0.2 * t);
  pose.translation[1] = 1.0 - cos(0.15 * t);
  pose.translation[2] = 1.4 + 0.02 * sin(1.9 * t);
  return pose;
}

static SolvoErrorType SimulatedDevice(double timestamp, SolvoCoordinateFramePair frame,
                                      SolvoPoseData* pose) {
  /* Only times a device could have seen: neither negative nor NaN nor infinite. */
  if (pose == NULL || !(timestamp >= 0.0 && isfinite(timestamp))) return SOLVO_STATUS_FAILED;
  SimulatedPose answer;
  if (frame.base_frame == SOLVO_FRAME_TRACKING_ORIGIN && frame.target_frame == SOLVO_FRAME_DEVICE) {
    answer = TrackingOriginTDevice(timestamp);
  } else if (frame.base_frame != SOLVO_FRAME_EXTRINSICS_REFERENCE) {
    return SOLVO_STATUS_FAILED;
  } else if (frame.target_frame == SOLVO_FRAME_DEVICE) {
    answer = kExtrinsicsReferenceTDevice;
  } else if (frame.target_frame == SOLVO_FRAME_SENSOR_7) {
    answer = kExtrinsicsReferenceTSensor7;
  } else if (frame.target_frame == SOLVO_FRAME_SENSOR_8) {
    answer = kExtrinsicsReferenceTSensor8;
  } else if (frame.target_frame == SOLVO_FRAME_SENSOR_9) {
    answer = kExtrinsicsReferenceTSensor9;
  } else {
    return SOLVO_STATUS_FAILED;
  }
  Normalize(answer.orientation); /* the constants above carry seven digits */
  pose->timestamp = timestamp;
  for (int k = 0; k < 4; ++k) pose->orientation[k] = answer.orientation[k];
  for (int k = 0; k < 3; ++k) pose->translation[k] = answer.translation[k];
  pose->frames = frame;
  return SOLVO_STATUS_OK;
}

/* NULL: the simulated device answers. Read and written atomically, as queries may run on any
 * thread. */
static SolvoSimulationPoseSource installed_source = NULL;

SolvoSimulationPoseSource SolvoSimulation_setPoseSource(SolvoSimulationPoseSource source) {
  return __atomic_exchange_n(&installed_source, source, __ATOMIC_ACQ_REL);
}

SolvoErrorType SolvoService_getPoseAtTime(double timestamp, SolvoCoordinateFramePair frame,
                                          SolvoPoseData* pose) {
  const SolvoSimulationPoseSource source = __atomic_load_n(&installed_source, __ATOMIC_ACQUIRE);
  return source != NULL ? source(timestamp, frame, pose) : SimulatedDevice(timestamp, frame, pose);
}
