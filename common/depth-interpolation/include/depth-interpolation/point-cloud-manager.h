// Triple-buffered hand-over of the newest depth point cloud from one writer thread to one reader.
#ifndef DEPTH_INTERPOLATION_POINT_CLOUD_MANAGER_H_
#define DEPTH_INTERPOLATION_POINT_CLOUD_MANAGER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "solvo_client_api.h"

namespace depth_interpolation {

// Owns three clouds with room for `capacity` points each, handed over like the images of
// ImageBufferManager. The front cloud starts stamped -1.0 and the middle one 0.0, so the reader's
// first GetLatest always exchanges and hands out an empty cloud stamped 0.0.
// One writer thread and one reader thread.
class PointCloudManager {
 public:
  // The largest capacity whose point array fits in size_t (smaller than UINT32_MAX only on
  // 32-bit targets).
  static uint32_t MaxCapacity();

  // Requires 0 < capacity <= MaxCapacity().
  explicit PointCloudManager(uint32_t capacity);
  PointCloudManager(const PointCloudManager&) = delete;
  PointCloudManager& operator=(const PointCloudManager&) = delete;

  // Writer: copies the points, point_count and time stamp of `point_cloud` (at most `capacity`
  // points) into the back cloud and makes it the middle one (an unread middle cloud is dropped).
  // Refuses a cloud without points with one error line, nothing changed.
  bool Update(const SolvoXYZij& point_cloud);

  // Reader: makes the middle cloud the front one when its time stamp is strictly greater, and
  // stores the front cloud in `*front_point_cloud`; returns 1 when it exchanged, else 0. The
  // cloud stays unchanged until a later call returns 1.
  int GetLatest(SolvoXYZij** front_point_cloud);

  uint32_t capacity() const { return capacity_; }

 private:
  const uint32_t capacity_;
  std::array<std::unique_ptr<float[][3]>, 3> points_;
  std::array<SolvoXYZij, 3> clouds_{};
  SolvoXYZij* front_point_cloud_;
  SolvoXYZij* middle_point_cloud_;
  SolvoXYZij* back_point_cloud_;
  std::mutex swap_mutex_;
};

}  // namespace depth_interpolation

#endif  // DEPTH_INTERPOLATION_POINT_CLOUD_MANAGER_H_
