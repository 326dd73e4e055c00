// Construction, wrapping and destruction of the internal point cloud.
#include "engine-data/pointcloud.h"

#include "logging/ensure.h"

namespace engine_data {

PointCloud::PointCloud(ConstructorKey, SolvoHalPointCloud* hal_cloud)
    : hal_cloud_(hal_cloud), owns_hal_cloud_(false) {}

PointCloud::~PointCloud() {
  SolvoHalPointCloud* hal_cloud = hal_cloud_;
  hal_cloud_ = nullptr;
  if (owns_hal_cloud_ && hal_cloud != nullptr) {
    ReleaseSolvoHalPointCloud(hal_cloud);
    delete hal_cloud;
  }
}

std::shared_ptr<PointCloud> PointCloud::WrapSolvoHal(SolvoHalPointCloud* solvo_hal_cloud) {
  ENSURE_NOT_NULL(solvo_hal_cloud);
  return std::allocate_shared<PointCloud>(Eigen::aligned_allocator<PointCloud>(), ConstructorKey(),
                                          solvo_hal_cloud);
}

Eigen::Map<const Eigen::Matrix3Xf> PointCloud::Points() const {
  const float* data = hal_cloud_->points == nullptr ? nullptr : &hal_cloud_->points[0][0];
  return Eigen::Map<const Eigen::Matrix3Xf>(data, 3, hal_cloud_->num_points);
}

}  // namespace engine_data
