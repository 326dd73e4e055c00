// The hardware-layer point cloud record, and its reset and release.
#ifndef ENGINE_DATA_SOLVO_HAL_POINT_CLOUD_H_
#define ENGINE_DATA_SOLVO_HAL_POINT_CLOUD_H_

#include <cstddef>
#include <cstdint>

// Fixed at 40 bytes on 32-bit ARM, with `points` at offset 32.
struct SolvoHalPointCloud {
  uint32_t header_word;
  int64_t timestamp_ns;
  uint8_t reserved_a[8];
  uint32_t reserved_b;
  uint32_t num_points;
  float (*points)[3];
};

// The hardware layer reads this record by address; its offsets do not depend on pointer size
// except for the size, which is checked where pointers are 4 bytes.
static_assert(offsetof(SolvoHalPointCloud, timestamp_ns) == 8, "SolvoHalPointCloud layout changed");
static_assert(offsetof(SolvoHalPointCloud, reserved_b) == 24, "SolvoHalPointCloud layout changed");
static_assert(offsetof(SolvoHalPointCloud, num_points) == 28, "SolvoHalPointCloud layout changed");
static_assert(offsetof(SolvoHalPointCloud, points) == 32, "SolvoHalPointCloud layout changed");
static_assert(sizeof(void*) != 4 || sizeof(SolvoHalPointCloud) == 40,
              "SolvoHalPointCloud layout changed");

namespace engine_data {

// Every field zero, `points` null.
void ResetSolvoHalPointCloud(SolvoHalPointCloud* hal_cloud);

// Frees `points` with the C allocator's free when it is set, then resets. Only for records that
// own their points: a record that borrows them must not be released.
void ReleaseSolvoHalPointCloud(SolvoHalPointCloud* hal_cloud);

}  // namespace engine_data

#endif  // ENGINE_DATA_SOLVO_HAL_POINT_CLOUD_H_
