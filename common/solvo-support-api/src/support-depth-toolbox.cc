// Exported point cloud records, and the conversion of a point cloud for the plane modules.
#include "support-depth-toolbox.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "argument-check.h"

namespace {

constexpr char kCreateXYZijSignature[] =
    "SolvoErrorType SolvoSupport_createXYZij(uint32_t, SolvoXYZij*)";
constexpr char kFreeXYZijSignature[] = "SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*)";
constexpr char kCopyXYZijSignature[] =
    "SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij*, SolvoXYZij*)";

// Empties every field this library owns in a record; the service's word at offset 0 stays.
void ClearXYZij(SolvoXYZij* point_cloud) {
  point_cloud->xyz = nullptr;
  point_cloud->timestamp = 0.0;
  point_cloud->point_count = 0;
  std::memset(point_cloud->tail_words, 0, sizeof(point_cloud->tail_words));
}

}  // namespace

namespace solvo_support_api {

int64_t TimestampNanoseconds(double timestamp_s) {
  const double nanoseconds = timestamp_s * 1e9;
  if (std::isnan(nanoseconds)) return 0;
  // 2^63 is exactly representable; anything at or above it does not fit.
  constexpr double kLimit = 9223372036854775808.0;
  if (nanoseconds >= kLimit) return std::numeric_limits<int64_t>::max();
  if (nanoseconds < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(nanoseconds);
}

void SolvoHalPointCloudFromSolvoXYZ(const SolvoXYZij& point_cloud, SolvoHalPointCloud* hal_cloud) {
  engine_data::ResetSolvoHalPointCloud(hal_cloud);
  hal_cloud->points = point_cloud.xyz;
  hal_cloud->num_points = point_cloud.point_count;
  hal_cloud->timestamp_ns = TimestampNanoseconds(point_cloud.timestamp);
}

}  // namespace solvo_support_api

extern "C" {

SolvoErrorType SolvoSupport_createXYZij(uint32_t max_point_count, SolvoXYZij* point_cloud) {
  if (point_cloud == nullptr) {
    return SOLVO_REJECT(kCreateXYZijSignature, " point_cloud is nullptr.");
  }
  // On 32-bit targets the byte count of a large cloud does not fit in size_t.
  if (max_point_count > std::numeric_limits<size_t>::max() / sizeof(float[3])) {
    return SOLVO_REJECT(kCreateXYZijSignature, " max_point_count is too large.");
  }
  ClearXYZij(point_cloud);
  point_cloud->xyz = new float[max_point_count][3];
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij* point_cloud) {
  if (point_cloud == nullptr) {
    return SOLVO_REJECT(kFreeXYZijSignature, " point_cloud is nullptr.");
  }
  delete[] point_cloud->xyz;
  ClearXYZij(point_cloud);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij* input_point_cloud,
                                      SolvoXYZij* output_point_cloud) {
  if (input_point_cloud == nullptr) {
    return SOLVO_REJECT(kCopyXYZijSignature, " input_point_cloud is nullptr.");
  }
  if (output_point_cloud == nullptr) {
    return SOLVO_REJECT(kCopyXYZijSignature, " output_point_cloud is nullptr.");
  }
  if (input_point_cloud->point_count != 0) {
    std::memmove(output_point_cloud->xyz, input_point_cloud->xyz,
                 size_t{input_point_cloud->point_count} * sizeof(float[3]));
  }
  output_point_cloud->point_count = input_point_cloud->point_count;
  output_point_cloud->timestamp = input_point_cloud->timestamp;
  return SOLVO_STATUS_OK;
}

}  // extern "C"
