// Exported point cloud manager functions; apart from a cloud too large for the manager, they
// refuse bad arguments by status alone.
#include <cstdint>
#include <memory>
#include <string>

#include "argument-check.h"
#include "depth-interpolation/point-cloud-manager.h"
#include "exported-call.h"
#include "solvo_support_api.h"

// The handle the application holds: a cell with the manager inside.
struct SolvoSupportPointCloudManager {
  std::unique_ptr<depth_interpolation::PointCloudManager> manager;
};

namespace {

using depth_interpolation::PointCloudManager;

constexpr char kUpdateSignature[] =
    "SolvoErrorType SolvoSupport_updatePointCloud(SolvoSupportPointCloudManager*, "
    "const SolvoXYZij*)";

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_createPointCloudManager(uint32_t max_points,
                                                    SolvoSupportPointCloudManager** manager) {
  const solvo_support_api::ExportedCall call;
  if (max_points == 0 || max_points > PointCloudManager::MaxCapacity() || manager == nullptr) {
    return SOLVO_STATUS_BAD_ARGUMENT;
  }
  auto cell = std::make_unique<SolvoSupportPointCloudManager>();
  cell->manager = std::make_unique<PointCloudManager>(max_points);
  *manager = cell.release();
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_freePointCloudManager(SolvoSupportPointCloudManager* manager) {
  const solvo_support_api::ExportedCall call;
  delete manager;
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_updatePointCloud(SolvoSupportPointCloudManager* manager,
                                             const SolvoXYZij* point_cloud) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr || point_cloud == nullptr) return SOLVO_STATUS_BAD_ARGUMENT;
  // The back cloud has room for `capacity` points only; copying part of a cloud would hand
  // over a cloud the service never delivered.
  const uint32_t capacity = manager->manager->capacity();
  if (point_cloud->point_count > capacity) {
    return SOLVO_REJECT(kUpdateSignature,
                        " point_cloud has " + std::to_string(point_cloud->point_count) +
                            " points, more than the capacity " + std::to_string(capacity) + ".");
  }
  // An empty cloud is refused with an error line but is no fault of the caller's.
  manager->manager->Update(*point_cloud);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_getLatestPointCloud(SolvoSupportPointCloudManager* manager,
                                                SolvoXYZij** point_cloud) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr || point_cloud == nullptr) return SOLVO_STATUS_BAD_ARGUMENT;
  manager->manager->GetLatest(point_cloud);
  return SOLVO_STATUS_OK;
}

}  // extern "C"
