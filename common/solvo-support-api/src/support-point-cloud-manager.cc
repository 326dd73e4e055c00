// Exported point cloud manager functions.
#include "solvo_support_api.h"

extern "C" {

// TODO(#6): the point cloud manager.
SolvoErrorType SolvoSupport_createPointCloudManager(uint32_t, SolvoSupportPointCloudManager**) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_freePointCloudManager(SolvoSupportPointCloudManager*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_updatePointCloud(SolvoSupportPointCloudManager*, const SolvoXYZij*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_getLatestPointCloud(SolvoSupportPointCloudManager*, SolvoXYZij**) {
  return SOLVO_STATUS_FAILED;
}

}  // extern "C"
