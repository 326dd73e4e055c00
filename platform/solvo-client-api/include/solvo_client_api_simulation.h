/* Desktop control of the service client stand-in: which source of poses answers
 * SolvoService_getPoseAtTime. The service's own client library has no such function; programs
 * built for the device never include this header.
 *
 * By default a simulated device answers. Every answer writes `timestamp` (the time asked),
 * `orientation` (a unit quaternion x, y, z, w), `translation` (metres) and `frames` (the pair
 * asked) of the pose record and returns SOLVO_STATUS_OK; a NULL pose, a time stamp that is
 * negative or not finite (NaN or either infinity: no device sees such a time), and every pair not
 * listed here are answered with SOLVO_STATUS_FAILED, nothing written.
 *
 * Fixed extrinsics, the same at every time stamp, base SOLVO_FRAME_EXTRINSICS_REFERENCE (5):
 *   target                  orientation x, y, z, w (normalised)         translation
 *   SOLVO_FRAME_DEVICE (4)  (0.0087265, -0.0043633, 0.0130896, 0.9998596)  (0.010, -0.020, 0.005)
 *   SOLVO_FRAME_SENSOR_7    (0.7071068, 0, 0, 0.7071068)                   (0.032, 0.004, -0.011)
 *   SOLVO_FRAME_SENSOR_8    (0.6963642, 0.1227878, -0.1227878, 0.6963642)  (-0.025, 0.003, -0.009)
 *   SOLVO_FRAME_SENSOR_9    (0.5, 0.5, -0.5, 0.5)                          (0.060, -0.001, -0.012)
 * Motion, base SOLVO_FRAME_TRACKING_ORIGIN (2, z up), target SOLVO_FRAME_DEVICE (4), at time t
 * in seconds: the device walks a slow loop, turning about the vertical and nodding a little.
 *   orientation  about_z(yaw) * about_x(pitch) (Hamilton product, normalised), with
 *                yaw = 0.3 t + 0.1 sin(t) and pitch = 0.05 sin(0.7 t) radians, about_z(a) =
 *                (0, 0, sin(a / 2), cos(a / 2)) and about_x(a) = (sin(a / 2), 0, 0, cos(a / 2))
 *   translation  (1.5 sin(0.2 t), 1 - cos(0.15 t), 1.4 + 0.02 sin(1.9 t))
 *
 * To replay recorded poses, install a source of your own: it receives the time stamp, the frame
 * pair (base first) and the record to fill, and answers as the service does: SOLVO_STATUS_OK when
 * `orientation` and `translation` hold base_T_target at that time, anything else when it has no
 * pose. The support library asks SolvoSupport_calculateRelativePose's five pairs: (5, base sensor),
 * (5, 4) and (5, target sensor) at time 0, and (2, 4) at both times. */
#ifndef SOLVO_CLIENT_API_SIMULATION_H_
#define SOLVO_CLIENT_API_SIMULATION_H_

#include "solvo_client_api.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef SolvoErrorType (*SolvoSimulationPoseSource)(double timestamp,
                                                    SolvoCoordinateFramePair frame,
                                                    SolvoPoseData* pose);

/* Makes `source` answer every later SolvoService_getPoseAtTime; NULL restores the simulated
 * device. Returns the source installed before (NULL for the simulated device).
 * Threads  any thread; a query already running finishes with the source it started with. */
SOLVO_CLIENT_EXPORT SolvoSimulationPoseSource
SolvoSimulation_setPoseSource(SolvoSimulationPoseSource source);

#ifdef __cplusplus
}
#endif

#endif /* SOLVO_CLIENT_API_SIMULATION_H_ */
