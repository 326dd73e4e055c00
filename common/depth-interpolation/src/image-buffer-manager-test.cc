// The image buffer manager: hand-over order, copy regions, refused images, one writer and one
// reader.
#include "depth-interpolation/image-buffer-manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "logging/log-capture.h"

namespace depth_interpolation {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

constexpr auto kRgba = SOLVO_HAL_PIXEL_FORMAT_RGBA_8888;
constexpr auto kYuv = SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;

// `size` bytes that end right before an inaccessible page: reading one byte past them faults.
class GuardedBytes {
 public:
  explicit GuardedBytes(size_t size) : size_(size) {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    mapped_ = (size + page_ - 1) / page_ * page_ + page_;
    base_ = static_cast<uint8_t*>(
        mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    EXPECT_NE(base_, MAP_FAILED);
    EXPECT_EQ(mprotect(base_ + mapped_ - page_, page_, PROT_NONE), 0);
  }
  ~GuardedBytes() { munmap(base_, mapped_); }
  uint8_t* data() const { return base_ + mapped_ - page_ - size_; }

 private:
  size_t size_, page_ = 0, mapped_ = 0;
  uint8_t* base_ = nullptr;
};

// An incoming image matching `manager`, every byte `value`, stamped `timestamp`.
struct Frame {
  Frame(const Frame&) = delete;
  Frame(const ImageBufferManager& manager, uint8_t value, double timestamp)
      : bytes(static_cast<size_t>(manager.image_size()), value) {
    image.width = manager.width();
    image.height = manager.height();
    image.format = manager.format();
    image.timestamp = timestamp;
    image.data = bytes.data();
  }
  std::vector<uint8_t> bytes;
  SolvoImageBuffer image{};
};

std::vector<uint8_t> Pixels(const ImageBufferManager& manager, const SolvoImageBuffer* image) {
  return {image->data, image->data + manager.image_size()};
}

TEST(ImageBufferManager, GetLatestBeforeAnyUpdateHandsOutAZeroImageWithoutExchanging) {
  ImageBufferManager manager(kYuv, 6, 4);
  SolvoImageBuffer* front = nullptr;
  EXPECT_EQ(manager.GetLatest(&front), 0);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->timestamp, 0.0);
  EXPECT_EQ(front->width, 6u);
  EXPECT_EQ(front->height, 4u);
  EXPECT_EQ(front->format, kYuv);
  EXPECT_EQ(Pixels(manager, front), std::vector<uint8_t>(36, 0));
}

TEST(ImageBufferManager, TheReaderGetsOnlyTheNewerOfTwoUnreadImages) {
  ImageBufferManager manager(kRgba, 3, 2);
  ASSERT_TRUE(manager.Update(Frame(manager, 1, 1.0).image));
  ASSERT_TRUE(manager.Update(Frame(manager, 2, 2.0).image));
  SolvoImageBuffer* front = nullptr;
  EXPECT_EQ(manager.GetLatest(&front), 1);
  EXPECT_EQ(front->timestamp, 2.0);
  EXPECT_THAT(Pixels(manager, front), Each(2));
  SolvoImageBuffer* again = nullptr;
  EXPECT_EQ(manager.GetLatest(&again), 0);
  EXPECT_EQ(again, front);
}

TEST(ImageBufferManager, AnImageNoNewerThanTheFrontNeverReachesIt) {
  ImageBufferManager manager(kRgba, 3, 2);
  SolvoImageBuffer* front = nullptr;
  manager.Update(Frame(manager, 5, 5.0).image);
  ASSERT_EQ(manager.GetLatest(&front), 1);
  for (double stale : {5.0, 4.0, -1.0}) {
    EXPECT_TRUE(manager.Update(Frame(manager, 9, stale).image));
    EXPECT_EQ(manager.GetLatest(&front), 0);
    EXPECT_EQ(front->timestamp, 5.0);
    EXPECT_THAT(Pixels(manager, front), Each(5));
  }
}

TEST(ImageBufferManager, LuminanceOnlyLeavesTheChromaPlaneAsItWas) {
  ImageBufferManager manager(kYuv, 8, 6);
  manager.SetCopyRegion(true, 0, 6);
  manager.Update(Frame(manager, 7, 1.0).image);
  SolvoImageBuffer* front = nullptr;
  ASSERT_EQ(manager.GetLatest(&front), 1);
  std::vector<uint8_t> expected(72, 0);
  std::fill(expected.begin(), expected.begin() + 48, 7);
  EXPECT_EQ(Pixels(manager, front), expected);
}

TEST(ImageBufferManager, ABandCopiesItsLuminanceRowsAndHalfAsManyChromaBytes) {
  ImageBufferManager manager(kYuv, 640, 30);
  const size_t plane = 640 * 30;
  manager.SetCopyRegion(false, 10, 20);
  manager.Update(Frame(manager, 0xAB, 1.0).image);
  SolvoImageBuffer* front = nullptr;
  ASSERT_EQ(manager.GetLatest(&front), 1);
  std::vector<uint8_t> expected(static_cast<size_t>(manager.image_size()), 0);
  std::fill(expected.begin() + 6400, expected.begin() + 12800, 0xAB);
  std::fill(expected.begin() + plane + 3200, expected.begin() + plane + 6400, 0xAB);
  EXPECT_EQ(Pixels(manager, front), expected);
}

TEST(ImageBufferManager, ARegionOfEveryRowCopiesTheWholeImageAgain) {
  for (auto format : {kRgba, kYuv}) {
    ImageBufferManager manager(format, 4, 5);
    manager.SetCopyRegion(false, 1, 2);
    manager.SetCopyRegion(false, 0, 5);
    manager.Update(Frame(manager, 3, 1.0).image);
    SolvoImageBuffer* front = nullptr;
    ASSERT_EQ(manager.GetLatest(&front), 1);
    EXPECT_THAT(Pixels(manager, front), Each(3)) << format;
  }
}

TEST(ImageBufferManager, ABandWithOddLinesCopiesTheWholeChromaRowsItsRowsUse) {
  ImageBufferManager manager(kYuv, 8, 6);
  manager.SetCopyRegion(false, 1, 3);  // rows 1 and 2 use chroma rows 0 and 1
  manager.Update(Frame(manager, 6, 1.0).image);
  SolvoImageBuffer* front = nullptr;
  ASSERT_EQ(manager.GetLatest(&front), 1);
  std::vector<uint8_t> expected(72, 0);
  std::fill(expected.begin() + 8, expected.begin() + 24, 6);
  std::fill(expected.begin() + 48, expected.begin() + 64, 6);
  EXPECT_EQ(Pixels(manager, front), expected);
}

TEST(ImageBufferManager, TheChromaBandOfAnOddHeightStaysInsideTheImage) {
  // Height 5: the luminance plane is 40 bytes, the chroma plane 2 rows, the image 56 bytes; row 4
  // would use a third chroma row, past the end of the image.
  ImageBufferManager manager(kYuv, 8, 5);
  ASSERT_EQ(manager.image_size(), 56);
  manager.SetCopyRegion(false, 3, 5);
  GuardedBytes incoming(56);
  std::memset(incoming.data(), 4, 56);
  Frame frame(manager, 0, 1.0);
  frame.image.data = incoming.data();
  ASSERT_TRUE(manager.Update(frame.image));
  SolvoImageBuffer* front = nullptr;
  ASSERT_EQ(manager.GetLatest(&front), 1);
  std::vector<uint8_t> expected(56, 4);
  std::fill(expected.begin(), expected.begin() + 24, 0);       // rows 0 to 2
  std::fill(expected.begin() + 40, expected.begin() + 48, 0);  // chroma row 0
  EXPECT_EQ(Pixels(manager, front), expected);
}

TEST(ImageBufferManager, RefusesAnImageItCannotReadWithOneLineAndChangesNothing) {
  ImageBufferManager manager(kYuv, 8, 6);
  SolvoImageBuffer* front = nullptr;
  manager.Update(Frame(manager, 1, 1.0).image);
  ASSERT_EQ(manager.GetLatest(&front), 1);

  for (int fault = 0; fault < 4; ++fault) {
    Frame frame(manager, 2, 2.0);
    if (fault == 0) frame.image.data = nullptr;
    if (fault == 1) frame.image.format = kRgba;
    if (fault == 2) frame.image.width = 4;  // a smaller image would be read past its end
    if (fault == 3) frame.image.height = 7;
    logging::LogCapture capture;
    EXPECT_FALSE(manager.Update(frame.image));
    EXPECT_THAT(capture.Texts(), ElementsAre("No color data in callback (or incorrect format)"));
    EXPECT_EQ(manager.GetLatest(&front), 0);
  }
  EXPECT_THAT(Pixels(manager, front), Each(1));
}

TEST(ImageBufferManager, AnEmptyImageIsHandedOverWithItsTimeStamp) {
  ImageBufferManager manager(kRgba, 0, 0);
  Frame frame(manager, 0, 3.0);
  uint8_t unused = 0;
  frame.image.data = &unused;
  EXPECT_TRUE(manager.Update(frame.image));
  SolvoImageBuffer* front = nullptr;
  EXPECT_EQ(manager.GetLatest(&front), 1);
  EXPECT_EQ(front->timestamp, 3.0);
}

// Each frame carries its sequence number in every pixel and as its time stamp: a frame read while
// being written would mix two numbers, a lost exchange would make the numbers go backwards.
TEST(ImageBufferManager, OneWriterAndOneReaderSeeWholeFramesInOrder) {
  constexpr uint32_t kFrames = 20000;
  ImageBufferManager manager(kRgba, 64, 48);
  const size_t pixels = 64 * 48;
  std::atomic<bool> writer_done{false};
  std::thread writer([&] {
    std::vector<uint32_t> frame(pixels);
    SolvoImageBuffer image{64, 48, {}, 0.0, {}, kRgba, reinterpret_cast<uint8_t*>(frame.data())};
    for (uint32_t sequence = 1; sequence <= kFrames; ++sequence) {
      std::fill(frame.begin(), frame.end(), sequence);
      image.timestamp = sequence;
      manager.Update(image);
    }
    writer_done.store(true, std::memory_order_release);
  });

  uint32_t last = 0, torn = 0, backwards = 0;
  for (;;) {
    // Once the writer is done, the next read must find its last frame.
    const bool done = writer_done.load(std::memory_order_acquire);
    SolvoImageBuffer* front = nullptr;
    manager.GetLatest(&front);
    std::vector<uint32_t> frame(pixels);
    std::memcpy(frame.data(), front->data, pixels * 4);
    const auto sequence = static_cast<uint32_t>(front->timestamp);
    for (uint32_t value : frame) torn += value != sequence;
    backwards += sequence < last;
    last = sequence;
    if (done) break;
  }
  writer.join();
  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(backwards, 0u);
  EXPECT_EQ(last, kFrames);
}

TEST(ImageBufferManagerDeathTest, EndsOnWhatOnlyABrokenCallerCanPass) {
  EXPECT_DEATH(ImageBufferManager(static_cast<SolvoImageFormatType>(5), 2, 2),
               "Unsupported image format: 5");
  ImageBufferManager manager(kRgba, 2, 2);
  EXPECT_DEATH(manager.SetCopyRegion(true, 0, 2), "Check failed: !yonly");
  EXPECT_DEATH(manager.SetCopyRegion(false, 0, 3), "Check failed: end_line <= height_ ");
  EXPECT_DEATH(manager.SetCopyRegion(false, 1, 1), "Check failed: begin_line < end_line ");
  EXPECT_DEATH(manager.GetLatest(nullptr), "'front_buffer' Must be non NULL");
}

}  // namespace
}  // namespace depth_interpolation
