// Exported depth lookups at an image point.
#include "solvo_support_api.h"

extern "C" {

// TODO(#4): nearest-neighbour depth lookup.
SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
    const SolvoXYZij*, const SolvoCameraIntrinsics*, const double*, const float*, float*, int*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighbor(const SolvoXYZij*,
                                                           const SolvoCameraIntrinsics*,
                                                           const SolvoPoseData*, const float*,
                                                           float*, int*) {
  return SOLVO_STATUS_FAILED;
}

}  // extern "C"
