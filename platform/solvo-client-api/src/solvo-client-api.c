/* The service's pose query, answering failure until a simulated device stands behind it. */
#include <solvo_client_api.h>

#include <stddef.h>

SolvoErrorType SolvoService_getPoseAtTime(double timestamp, SolvoCoordinateFramePair frame,
                                          SolvoPoseData* pose) {
  (void)timestamp;
  (void)frame;
  (void)pose;
  return SOLVO_STATUS_FAILED;
}
