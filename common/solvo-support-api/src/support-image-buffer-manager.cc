// Exported image buffer manager functions.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "argument-check.h"
#include "depth-interpolation/image-buffer-manager.h"
#include "exported-call.h"
#include "solvo_support_api.h"

// The handle the application holds: a cell with the manager inside.
struct SolvoSupportImageBufferManager {
  std::unique_ptr<depth_interpolation::ImageBufferManager> manager;
};

namespace {

using depth_interpolation::ImageBufferManager;

constexpr char kCreateSignature[] =
    "SolvoErrorType SolvoSupport_createImageBufferManager(SolvoImageFormatType, int, int, "
    "SolvoSupportImageBufferManager**)";
constexpr char kFreeSignature[] =
    "SolvoErrorType SolvoSupport_freeImageBufferManager(SolvoSupportImageBufferManager*)";
constexpr char kSetCopyRegionSignature[] =
    "SolvoErrorType SolvoSupport_setImageBufferCopyRegion(SolvoSupportImageBufferManager*, int, "
    "uint32_t, uint32_t)";
constexpr char kUpdateSignature[] =
    "SolvoErrorType SolvoSupport_updateImageBuffer(SolvoSupportImageBufferManager*, "
    "const SolvoImageBuffer*)";
constexpr char kGetLatestSignature[] =
    "SolvoErrorType SolvoSupport_getLatestImageBuffer(SolvoSupportImageBufferManager*, "
    "SolvoImageBuffer**)";

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_createImageBufferManager(SolvoImageFormatType format, int width,
                                                     int height,
                                                     SolvoSupportImageBufferManager** manager) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr) return SOLVO_REJECT(kCreateSignature, " manager is nullptr.");
  const int format_value = solvo_support_api::EnumValue(format);
  if (!ImageBufferManager::IsSupportedFormat(format_value)) {
    return SOLVO_REJECT(kCreateSignature,
                        " format " + std::to_string(format_value) + " is not supported.");
  }
  if (width < 0) return SOLVO_REJECT(kCreateSignature, " width is negative.");
  if (height < 0) return SOLVO_REJECT(kCreateSignature, " height is negative.");
  if (ImageBufferManager::ImageSizeOf(format, width, height) > uint64_t{INT_MAX}) {
    return SOLVO_REJECT(kCreateSignature, " width and height give an image of more than " +
                                              std::to_string(INT_MAX) + " bytes.");
  }
  auto cell = std::make_unique<SolvoSupportImageBufferManager>();
  cell->manager = std::make_unique<ImageBufferManager>(format, width, height);
  *manager = cell.release();
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_freeImageBufferManager(SolvoSupportImageBufferManager* manager) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr) return SOLVO_REJECT(kFreeSignature, " manager is nullptr.");
  delete manager;
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_setImageBufferCopyRegion(SolvoSupportImageBufferManager* manager,
                                                     int yonly, uint32_t begin_line,
                                                     uint32_t end_line) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr) return SOLVO_REJECT(kSetCopyRegionSignature, " manager is nullptr.");
  ImageBufferManager& images = *manager->manager;
  if (yonly != 0 && images.format() == SOLVO_HAL_PIXEL_FORMAT_RGBA_8888) {
    return SOLVO_REJECT(kSetCopyRegionSignature,
                        " yonly is set, but an RGBA_8888 image has no luminance plane.");
  }
  if (end_line > images.height()) {
    return SOLVO_REJECT(kSetCopyRegionSignature, " end_line " + std::to_string(end_line) +
                                                     " is above the height " +
                                                     std::to_string(images.height()) + ".");
  }
  if (begin_line >= end_line) {
    return SOLVO_REJECT(kSetCopyRegionSignature, " begin_line " + std::to_string(begin_line) +
                                                     " is not below end_line " +
                                                     std::to_string(end_line) + ".");
  }
  images.SetCopyRegion(yonly != 0, begin_line, end_line);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_updateImageBuffer(SolvoSupportImageBufferManager* manager,
                                              const SolvoImageBuffer* image) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr) return SOLVO_REJECT(kUpdateSignature, " manager is nullptr.");
  if (image == nullptr) return SOLVO_REJECT(kUpdateSignature, " image is nullptr.");
  // A refused image has already been reported in the manager's one error line. Applications
  // call this from the service's callback and rely on OK there, refused or not.
  manager->manager->Update(*image);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_getLatestImageBuffer(SolvoSupportImageBufferManager* manager,
                                                 SolvoImageBuffer** image) {
  const solvo_support_api::ExportedCall call;
  if (manager == nullptr) return SOLVO_REJECT(kGetLatestSignature, " manager is nullptr.");
  if (image == nullptr) return SOLVO_REJECT(kGetLatestSignature, " image is nullptr.");
  manager->manager->GetLatest(image);
  return SOLVO_STATUS_OK;
}

}  // extern "C"
