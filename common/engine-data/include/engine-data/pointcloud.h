// The internal point cloud: a shared view of a hardware-layer record for the plane modules.
#ifndef ENGINE_DATA_POINTCLOUD_H_
#define ENGINE_DATA_POINTCLOUD_H_

#include <Eigen/Core>
#include <cstdint>
#include <memory>

#include "engine-data/solvo-hal-point-cloud.h"
#include "geometry-toolbox/typed-transformation.h"

namespace engine_data {

// Made only through its factories and only as a shared object, in one 16-byte aligned
// allocation (its pose has fixed-size vector members).
class PointCloud {
 public:
  EIGEN_MAKE_ALIGNED_OPERATOR_NEW

  // The pass-key: only PointCloud's own factories can make one.
  class ConstructorKey {
    friend class PointCloud;
    ConstructorKey() = default;
  };

  PointCloud(ConstructorKey key, SolvoHalPointCloud* hal_cloud);
  ~PointCloud();

  PointCloud(const PointCloud&) = delete;
  PointCloud& operator=(const PointCloud&) = delete;

  // Wraps the record without taking ownership: the record and its points must outlive the
  // returned cloud. A null record is a check failure.
  static std::shared_ptr<PointCloud> WrapSolvoHal(SolvoHalPointCloud* solvo_hal_cloud);

  const SolvoHalPointCloud* hal_cloud() const { return hal_cloud_; }
  uint32_t NPoints() const { return hal_cloud_->num_points; }
  // The points as a 3 x NPoints() single-precision matrix, one column per point, borrowed.
  Eigen::Map<const Eigen::Matrix3Xf> Points() const;

  const Eigen::Matrix3Xf& aux_matrix() const { return aux_matrix_; }
  const geometry_toolbox::TypedTransformation<double>& pose() const { return pose_; }

 private:
  SolvoHalPointCloud* hal_cloud_;
  // Kept for clouds that own their record; the one factory here never makes one, so it is false.
  bool owns_hal_cloud_;
  // Room for per-point data of modules outside this library; here it stays empty.
  Eigen::Matrix3Xf aux_matrix_;
  // The cloud's pose for modules outside this library; here it stays the identity.
  geometry_toolbox::TypedTransformation<double> pose_;
};

}  // namespace engine_data

#endif  // ENGINE_DATA_POINTCLOUD_H_
