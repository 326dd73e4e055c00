// Reset and release of hardware-layer point cloud records.
#include "engine-data/solvo-hal-point-cloud.h"

#include <cstdlib>
#include <cstring>

#include "logging/ensure.h"

namespace engine_data {

void ResetSolvoHalPointCloud(SolvoHalPointCloud* hal_cloud) {
  ENSURE_NOT_NULL(hal_cloud);
  std::memset(hal_cloud, 0, sizeof(*hal_cloud));
  hal_cloud->points = nullptr;
}

void ReleaseSolvoHalPointCloud(SolvoHalPointCloud* hal_cloud) {
  ENSURE_NOT_NULL(hal_cloud);
  if (hal_cloud->points != nullptr) std::free(hal_cloud->points);
  ResetSolvoHalPointCloud(hal_cloud);
}

}  // namespace engine_data
