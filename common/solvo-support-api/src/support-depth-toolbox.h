// Boundary conversions and checks of point clouds for the plane modules.
#ifndef SOLVO_SUPPORT_API_SUPPORT_DEPTH_TOOLBOX_H_
#define SOLVO_SUPPORT_API_SUPPORT_DEPTH_TOOLBOX_H_

#include <cstdint>

#include "engine-data/solvo-hal-point-cloud.h"
#include "solvo_support_api.h"

namespace solvo_support_api {

// A HAL record that borrows the points of `point_cloud`: it must not outlive them and must not
// be released.
void SolvoHalPointCloudFromSolvoXYZ(const SolvoXYZij& point_cloud, SolvoHalPointCloud* hal_cloud);

// The point cloud check shared by the exported plane fits: a null cloud, fewer than three points,
// or no point array write one error line that begins with `signature`, the signature text of
// the function the application called, and give SOLVO_STATUS_BAD_ARGUMENT.
SolvoErrorType CheckPointCloud(const SolvoXYZij* point_cloud, const char* signature);

// Seconds to nanoseconds, truncated toward zero; NaN gives 0 and values beyond int64_t saturate.
int64_t TimestampNanoseconds(double timestamp_s);

}  // namespace solvo_support_api

#endif  // SOLVO_SUPPORT_API_SUPPORT_DEPTH_TOOLBOX_H_
