// Triple-buffered hand-over of the newest depth point cloud from one writer thread to one reader.
#include "depth-interpolation/point-cloud-manager.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "logging/ensure.h"
#include "logging/log-statement.h"

namespace depth_interpolation {

uint32_t PointCloudManager::MaxCapacity() {
  constexpr size_t kLimit = std::numeric_limits<size_t>::max() / sizeof(float[3]);
  return kLimit < std::numeric_limits<uint32_t>::max() ? static_cast<uint32_t>(kLimit)
                                                       : std::numeric_limits<uint32_t>::max();
}

PointCloudManager::PointCloudManager(uint32_t capacity) : capacity_(capacity) {
  ENSURE(capacity > 0 && capacity <= MaxCapacity()) << capacity;
  for (size_t i = 0; i < clouds_.size(); ++i) {
    // Left uninitialised: a cloud's points are read only up to its point_count.
    points_[i].reset(new float[capacity][3]);
    clouds_[i].xyz = points_[i].get();
  }
  front_point_cloud_ = &clouds_[0];
  middle_point_cloud_ = &clouds_[1];
  back_point_cloud_ = &clouds_[2];
  front_point_cloud_->timestamp = -1.0;
  std::memset(middle_point_cloud_->xyz, 0, size_t{capacity} * sizeof(float[3]));
}

bool PointCloudManager::Update(const SolvoXYZij& point_cloud) {
  SolvoXYZij* back = ENSURE_NOT_NULL(back_point_cloud_);
  ENSURE_NOT_NULL(back_point_cloud_->xyz);
  if (point_cloud.xyz == nullptr || point_cloud.point_count == 0) {
    LOG_ERROR() << "No data in callback.";
    return false;
  }
  ENSURE(point_cloud.point_count <= capacity_) << point_cloud.point_count << " > " << capacity_;

  // The back cloud is the writer's alone, so the copy runs without a lock. The caller may hand
  // back a cloud it got from this manager earlier, whose points are now the back cloud: move.
  std::memmove(back->xyz, point_cloud.xyz, size_t{point_cloud.point_count} * sizeof(float[3]));
  back->timestamp = point_cloud.timestamp;
  back->point_count = point_cloud.point_count;

  std::lock_guard<std::mutex> lock(swap_mutex_);
  std::swap(middle_point_cloud_, back_point_cloud_);
  return true;
}

int PointCloudManager::GetLatest(SolvoXYZij** front_point_cloud) {
  ENSURE_NOT_NULL(front_point_cloud);
  std::lock_guard<std::mutex> lock(swap_mutex_);
  int exchanged = 0;
  if (middle_point_cloud_->timestamp > front_point_cloud_->timestamp) {
    std::swap(middle_point_cloud_, front_point_cloud_);
    exchanged = 1;
  }
  *front_point_cloud = front_point_cloud_;
  return exchanged;
}

}  // namespace depth_interpolation
