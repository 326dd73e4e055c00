// Exported image buffer manager functions: statuses, error lines, and refusals that change nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "logging/log-capture.h"
#include "solvo_support_api.h"
#include "test-support/c-application-calls.h"

namespace {

using ::testing::Each;
using ::testing::ElementsAre;

constexpr char kCreate[] =
    "SolvoErrorType SolvoSupport_createImageBufferManager(SolvoImageFormatType, int, int, "
    "SolvoSupportImageBufferManager**)";
constexpr char kSetCopyRegion[] =
    "SolvoErrorType SolvoSupport_setImageBufferCopyRegion(SolvoSupportImageBufferManager*, int, "
    "uint32_t, uint32_t)";
constexpr char kUpdate[] =
    "SolvoErrorType SolvoSupport_updateImageBuffer(SolvoSupportImageBufferManager*, "
    "const SolvoImageBuffer*)";
constexpr char kGetLatest[] =
    "SolvoErrorType SolvoSupport_getLatestImageBuffer(SolvoSupportImageBufferManager*, "
    "SolvoImageBuffer**)";

// A YUV manager of 4 x 4 pixels (24 bytes) and an incoming image for it.
class ImageBufferManagerApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, 4, 4, &manager_),
        SOLVO_STATUS_OK);
    image_.width = 4;
    image_.height = 4;
    image_.format = SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;
    image_.data = bytes_.data();
  }
  void TearDown() override { EXPECT_EQ(SolvoSupport_freeImageBufferManager(manager_), 0); }

  // Sends an image of `value` bytes stamped `timestamp`; returns the latest image's bytes.
  std::vector<uint8_t> SendAndRead(uint8_t value, double timestamp) {
    bytes_.assign(24, value);
    image_.data = bytes_.data();
    image_.timestamp = timestamp;
    EXPECT_EQ(SolvoSupport_updateImageBuffer(manager_, &image_), SOLVO_STATUS_OK);
    SolvoImageBuffer* latest = nullptr;
    EXPECT_EQ(SolvoSupport_getLatestImageBuffer(manager_, &latest), SOLVO_STATUS_OK);
    return {latest->data, latest->data + 24};
  }

  SolvoSupportImageBufferManager* manager_ = nullptr;
  std::vector<uint8_t> bytes_ = std::vector<uint8_t>(24);
  SolvoImageBuffer image_{};
};

TEST(CreateImageBufferManager, RefusesEachBadArgumentWithOneLineAndCreatesNothing) {
  struct Case {
    int format, width, height;
    const char* message;
  };
  const Case cases[] = {
      {5, 4, 4, " format 5 is not supported."},
      {1, -1, 4, " width is negative."},
      {17, 4, -2, " height is negative."},
      {1, 32768, 16384, " width and height give an image of more than 2147483647 bytes."},
      {17, 65536, 32768, " width and height give an image of more than 2147483647 bytes."},
  };
  for (const Case& c : cases) {
    logging::LogCapture capture;
    auto* manager = reinterpret_cast<SolvoSupportImageBufferManager*>(0x1);
    EXPECT_EQ(SolvoSupport_createImageBufferManager(static_cast<SolvoImageFormatType>(c.format),
                                                    c.width, c.height, &manager),
              SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_EQ(manager, reinterpret_cast<SolvoSupportImageBufferManager*>(0x1));
    EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kCreate) + c.message));
  }
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, 1, 1, nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kCreate) + " manager is nullptr."));
}

// C applications may pass any int as a format, also one C++ cannot hold in the enumeration.
TEST(CreateImageBufferManager, RefusesAnyIntACApplicationPassesAsFormatWithOneLine) {
  logging::LogCapture capture;
  auto* manager = reinterpret_cast<SolvoSupportImageBufferManager*>(0x1);
  EXPECT_EQ(CallCreateImageBufferManager(-1, 4, 4, &manager), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(CallCreateImageBufferManager(0x23, 4, 4, &manager), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(manager, reinterpret_cast<SolvoSupportImageBufferManager*>(0x1));
  EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kCreate) + " format -1 is not supported.",
                                           std::string(kCreate) + " format 35 is not supported."));
}

TEST(CreateImageBufferManager, AcceptsAnEmptyImage) {
  SolvoSupportImageBufferManager* manager = nullptr;
  ASSERT_EQ(SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, 0, 0, &manager),
            SOLVO_STATUS_OK);
  uint8_t unused = 0;
  SolvoImageBuffer image{0, 0, {}, 1.0, {}, SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, &unused};
  EXPECT_EQ(SolvoSupport_updateImageBuffer(manager, &image), SOLVO_STATUS_OK);
  SolvoImageBuffer* latest = nullptr;
  EXPECT_EQ(SolvoSupport_getLatestImageBuffer(manager, &latest), SOLVO_STATUS_OK);
  EXPECT_EQ(latest->timestamp, 1.0);
  EXPECT_EQ(SolvoSupport_freeImageBufferManager(manager), SOLVO_STATUS_OK);
}

TEST(FreeImageBufferManager, RefusesNullWithOneLine) {
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_freeImageBufferManager(nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(), ElementsAre("SolvoErrorType SolvoSupport_freeImageBufferManager("
                                           "SolvoSupportImageBufferManager*) manager is nullptr."));
}

TEST_F(ImageBufferManagerApiTest, ABandRefreshesOnlyItsRowsAndTheirChroma) {
  EXPECT_THAT(SendAndRead(1, 1.0), Each(1));
  ASSERT_EQ(SolvoSupport_setImageBufferCopyRegion(manager_, 0, 2, 4), SOLVO_STATUS_OK);
  // Each update fills the record the reader released two exchanges before; the third one is
  // the record of the first image.
  SendAndRead(2, 2.0);
  SendAndRead(3, 3.0);
  const std::vector<uint8_t> band = SendAndRead(4, 4.0);
  EXPECT_THAT(std::vector<uint8_t>(band.begin(), band.begin() + 8), Each(1));
  EXPECT_THAT(std::vector<uint8_t>(band.begin() + 8, band.begin() + 16), Each(4));
  EXPECT_THAT(std::vector<uint8_t>(band.begin() + 16, band.begin() + 20), Each(1));
  EXPECT_THAT(std::vector<uint8_t>(band.begin() + 20, band.end()), Each(4));
}

TEST_F(ImageBufferManagerApiTest, AnyNonZeroYonlyKeepsTheChromaPlane) {
  ASSERT_EQ(SolvoSupport_setImageBufferCopyRegion(manager_, 7, 0, 4), SOLVO_STATUS_OK);
  const std::vector<uint8_t> luminance = SendAndRead(5, 1.0);
  EXPECT_THAT(std::vector<uint8_t>(luminance.begin(), luminance.begin() + 16), Each(5));
  EXPECT_THAT(std::vector<uint8_t>(luminance.begin() + 16, luminance.end()), Each(0));
}

TEST_F(ImageBufferManagerApiTest, RefusesEachBadCopyRegionWithOneLineKeepingTheRegion) {
  ASSERT_EQ(SolvoSupport_setImageBufferCopyRegion(manager_, 0, 1, 2), SOLVO_STATUS_OK);
  SolvoSupportImageBufferManager* rgba = nullptr;
  ASSERT_EQ(SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, 4, 4, &rgba),
            SOLVO_STATUS_OK);
  struct Case {
    SolvoSupportImageBufferManager* manager;
    int yonly;
    uint32_t begin_line, end_line;
    const char* message;
  };
  const Case cases[] = {
      {nullptr, 0, 0, 4, " manager is nullptr."},
      {rgba, 1, 0, 4, " yonly is set, but an RGBA_8888 image has no luminance plane."},
      {manager_, 0, 0, 5, " end_line 5 is above the height 4."},
      {manager_, 0, 3, 3, " begin_line 3 is not below end_line 3."},
      {manager_, 0, 4, 0, " begin_line 4 is not below end_line 0."},
  };
  for (const Case& c : cases) {
    logging::LogCapture capture;
    EXPECT_EQ(SolvoSupport_setImageBufferCopyRegion(c.manager, c.yonly, c.begin_line, c.end_line),
              SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kSetCopyRegion) + c.message));
  }
  SolvoSupport_freeImageBufferManager(rgba);
  // Still row 1 only: luminance bytes 4 to 7 and its chroma row, bytes 16 to 19.
  const std::vector<uint8_t> band = SendAndRead(9, 1.0);
  EXPECT_EQ(std::count(band.begin(), band.end(), 9), 8);
  EXPECT_THAT(std::vector<uint8_t>(band.begin() + 4, band.begin() + 8), Each(9));
  EXPECT_THAT(std::vector<uint8_t>(band.begin() + 16, band.begin() + 20), Each(9));
}

TEST_F(ImageBufferManagerApiTest, RefusesAnImageItCannotReadAndHandsNothingOver) {
  SendAndRead(1, 1.0);
  image_.height = 3;  // 4 rows would be read from an image of 3
  bytes_.assign(18, 2);
  image_.data = bytes_.data();
  image_.timestamp = 2.0;
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_updateImageBuffer(manager_, &image_), SOLVO_STATUS_OK);
  EXPECT_EQ(SolvoSupport_updateImageBuffer(nullptr, &image_), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_updateImageBuffer(manager_, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(), ElementsAre("No color data in callback (or incorrect format)",
                                           std::string(kUpdate) + " manager is nullptr.",
                                           std::string(kUpdate) + " image is nullptr."));
  SolvoImageBuffer* latest = nullptr;
  EXPECT_EQ(SolvoSupport_getLatestImageBuffer(manager_, &latest), SOLVO_STATUS_OK);
  EXPECT_EQ(latest->timestamp, 1.0);
}

TEST_F(ImageBufferManagerApiTest, RefusesAnImageWhoseFormatFieldHoldsAnyOtherInt) {
  SendAndRead(1, 1.0);
  image_.timestamp = 2.0;
  logging::LogCapture capture;
  for (const int format : {-1, 0x23, 1 << 24}) {
    SetImageFormat(&image_, format);
    EXPECT_EQ(SolvoSupport_updateImageBuffer(manager_, &image_), SOLVO_STATUS_OK);
  }
  EXPECT_THAT(capture.Texts(), Each("No color data in callback (or incorrect format)"));
  EXPECT_EQ(capture.Texts().size(), 3u);
  SolvoImageBuffer* latest = nullptr;
  EXPECT_EQ(SolvoSupport_getLatestImageBuffer(manager_, &latest), SOLVO_STATUS_OK);
  EXPECT_EQ(latest->timestamp, 1.0);
}

TEST_F(ImageBufferManagerApiTest, GetLatestRefusesNullArgumentsWithOneLine) {
  logging::LogCapture capture;
  SolvoImageBuffer* latest = nullptr;
  EXPECT_EQ(SolvoSupport_getLatestImageBuffer(nullptr, &latest), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getLatestImageBuffer(manager_, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(latest, nullptr);
  EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kGetLatest) + " manager is nullptr.",
                                           std::string(kGetLatest) + " image is nullptr."));
}

}  // namespace
