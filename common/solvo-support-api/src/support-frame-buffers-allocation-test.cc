// Both frame buffer managers allocate nothing once created: counted by replacing operator new.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "solvo_support_api.h"

namespace {

// Only allocations of the test's own thread count: the logging thread may run at any time.
thread_local bool counting = false;
std::atomic<int> allocations{0};

void* Allocate(size_t size) {
  if (counting) allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not mistake a free() after an inlined new for a
// mismatched pair.
[[gnu::noinline]] void Release(void* memory) { std::free(memory); }

}  // namespace

void* operator new(size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return ::operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete[](void* memory) noexcept { Release(memory); }
void operator delete(void* memory, size_t) noexcept { Release(memory); }
void operator delete[](void* memory, size_t) noexcept { Release(memory); }

namespace {

TEST(FrameBuffers, AThousandUpdatesAndReadsAllocateNothing) {
  SolvoSupportImageBufferManager* images = nullptr;
  SolvoSupportPointCloudManager* clouds = nullptr;
  ASSERT_EQ(
      SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, 64, 48, &images),
      SOLVO_STATUS_OK);
  ASSERT_EQ(SolvoSupport_createPointCloudManager(500, &clouds), SOLVO_STATUS_OK);
  std::vector<uint8_t> pixels(64 * 72, 1);
  SolvoImageBuffer image{64, 48, {}, 0.0, {}, SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, pixels.data()};
  std::vector<float> points(500 * 3, 1.0f);
  SolvoXYZij cloud{};
  cloud.xyz = reinterpret_cast<float(*)[3]>(points.data());

  counting = true;
  for (int frame = 1; frame <= 1000; ++frame) {
    // Whole images, bands with their chroma, and luminance only.
    SolvoSupport_setImageBufferCopyRegion(images, frame % 3 == 2, frame % 3 == 0 ? 0 : 5, 48);
    image.timestamp = frame;
    SolvoSupport_updateImageBuffer(images, &image);
    SolvoImageBuffer* latest_image = nullptr;
    SolvoSupport_getLatestImageBuffer(images, &latest_image);
    cloud.timestamp = frame;
    cloud.point_count = static_cast<uint32_t>(frame % 500 + 1);
    SolvoSupport_updatePointCloud(clouds, &cloud);
    SolvoXYZij* latest_cloud = nullptr;
    SolvoSupport_getLatestPointCloud(clouds, &latest_cloud);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);

  // The count sees the library's allocations: a refusal builds its error line.
  counting = true;
  SolvoSupport_setImageBufferCopyRegion(images, 0, 9, 9);
  counting = false;
  EXPECT_GT(allocations.load(), 0);

  SolvoSupport_freePointCloudManager(clouds);
  SolvoSupport_freeImageBufferManager(images);
}

}  // namespace
