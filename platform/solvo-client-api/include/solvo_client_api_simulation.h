/* Host-only control of the client library stand-in: which source of poses answers
 * SolvoService_getPoseAtTime. The service's own client library has no such function; programs
 * built for the device never include this header.
 *
 * By default the stand-in simulates a device: the sensor frames 7, 8 and 9 and the device frame 4
 * have fixed poses relative to frame 5 (answered at any time stamp), and the device (frame 4)
 * moves smoothly relative to the tracking origin (frame 2) for time stamps >= 0. Every other pair,
 * and a negative or non-finite time stamp (NaN or either infinity), is answered with
 * SOLVO_STATUS_FAILED. */
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
