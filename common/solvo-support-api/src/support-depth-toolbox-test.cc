// Point cloud records at the boundary: create, free and copy, their error lines, and the HAL view.
#include "support-depth-toolbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "logging/log-capture.h"
#include "solvo_support_api.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint32_t kServiceWord = 0xC0FFEEu;

SolvoXYZij DirtyRecord() {
  SolvoXYZij cloud{};
  cloud.service_word = kServiceWord;
  cloud.timestamp = 9.0;
  cloud.point_count = 9;
  for (uint32_t& word : cloud.tail_words) word = 0xFFFFFFFFu;
  return cloud;
}

TEST(CreateXYZij, GivesRoomButNoPoints) {
  SolvoXYZij cloud = DirtyRecord();
  ASSERT_EQ(SolvoSupport_createXYZij(100, &cloud), SOLVO_STATUS_OK);
  EXPECT_NE(cloud.xyz, nullptr);
  EXPECT_EQ(cloud.point_count, 0u);
  EXPECT_EQ(cloud.timestamp, 0.0);
  EXPECT_THAT(cloud.tail_words, ElementsAre(0u, 0u, 0u, 0u));
  EXPECT_EQ(cloud.service_word, kServiceWord);
  cloud.xyz[99][2] = 1.0f;  // the whole room is usable (checked by the sanitizer run)
  EXPECT_EQ(SolvoSupport_freeXYZij(&cloud), SOLVO_STATUS_OK);
}

TEST(CreateXYZij, GivesANonNullArrayForZeroPoints) {
  SolvoXYZij cloud{};
  ASSERT_EQ(SolvoSupport_createXYZij(0, &cloud), SOLVO_STATUS_OK);
  EXPECT_NE(cloud.xyz, nullptr);
  SolvoSupport_freeXYZij(&cloud);
}

TEST(CreateXYZij, RefusesANullRecordWithOneLine) {
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_createXYZij(10, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre("SolvoErrorType SolvoSupport_createXYZij(uint32_t, SolvoXYZij*) "
                          "point_cloud is nullptr."));
}

TEST(CreateXYZij, RefusesACountWhoseByteSizeOverflows) {
  if (sizeof(size_t) > 4) GTEST_SKIP() << "uint32_t counts always fit in a 64-bit size_t";
  logging::LogCapture capture;
  SolvoXYZij cloud = DirtyRecord();
  EXPECT_EQ(SolvoSupport_createXYZij(0x20000000u, &cloud), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(cloud.point_count, 9u);  // untouched
  EXPECT_THAT(capture.Texts(),
              ElementsAre("SolvoErrorType SolvoSupport_createXYZij(uint32_t, SolvoXYZij*) "
                          "max_point_count is too large."));
}

TEST(FreeXYZij, ClearsTheRecordAndIsHarmlessTwice) {
  SolvoXYZij cloud{};
  ASSERT_EQ(SolvoSupport_createXYZij(4, &cloud), SOLVO_STATUS_OK);
  cloud.service_word = kServiceWord;
  cloud.point_count = 4;
  cloud.timestamp = 2.5;
  cloud.tail_words[3] = 7;
  EXPECT_EQ(SolvoSupport_freeXYZij(&cloud), SOLVO_STATUS_OK);
  EXPECT_EQ(cloud.xyz, nullptr);
  EXPECT_EQ(cloud.point_count, 0u);
  EXPECT_EQ(cloud.timestamp, 0.0);
  EXPECT_THAT(cloud.tail_words, ElementsAre(0u, 0u, 0u, 0u));
  EXPECT_EQ(cloud.service_word, kServiceWord);
  EXPECT_EQ(SolvoSupport_freeXYZij(&cloud), SOLVO_STATUS_OK);
}

TEST(FreeXYZij, RefusesANullRecordWithOneLine) {
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_freeXYZij(nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(), ElementsAre("SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*) "
                                           "point_cloud is nullptr."));
}

class CopyXYZijTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SolvoSupport_createXYZij(3, &input_), SOLVO_STATUS_OK);
    ASSERT_EQ(SolvoSupport_createXYZij(3, &output_), SOLVO_STATUS_OK);
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < 3; ++k) input_.xyz[i][k] = static_cast<float>(10 * i + k);
    }
    input_.point_count = 3;
    input_.timestamp = 4.25;
    input_.tail_words[0] = 11;
    output_.tail_words[0] = 22;
    output_.service_word = kServiceWord;
  }
  void TearDown() override {
    SolvoSupport_freeXYZij(&input_);
    SolvoSupport_freeXYZij(&output_);
  }
  SolvoXYZij input_{};
  SolvoXYZij output_{};
};

TEST_F(CopyXYZijTest, CopiesPointsCountAndTimeOnly) {
  ASSERT_EQ(SolvoSupport_copyXYZij(&input_, &output_), SOLVO_STATUS_OK);
  EXPECT_EQ(output_.point_count, 3u);
  EXPECT_EQ(output_.timestamp, 4.25);
  EXPECT_EQ(output_.xyz[2][1], 21.0f);
  EXPECT_EQ(output_.tail_words[0], 22u);
  EXPECT_EQ(output_.service_word, kServiceWord);
}

TEST_F(CopyXYZijTest, CopiesAnEmptyCloudsCountAndTime) {
  output_.point_count = 2;
  output_.xyz[0][0] = -1.0f;
  input_.point_count = 0;
  ASSERT_EQ(SolvoSupport_copyXYZij(&input_, &output_), SOLVO_STATUS_OK);
  EXPECT_EQ(output_.point_count, 0u);
  EXPECT_EQ(output_.timestamp, 4.25);
  EXPECT_EQ(output_.xyz[0][0], -1.0f);
}

TEST_F(CopyXYZijTest, CopiesOntoItself) {
  ASSERT_EQ(SolvoSupport_copyXYZij(&input_, &input_), SOLVO_STATUS_OK);
  EXPECT_EQ(input_.xyz[1][2], 12.0f);
}

TEST_F(CopyXYZijTest, ReportsOnlyTheFirstNullRecord) {
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_copyXYZij(nullptr, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_copyXYZij(&input_, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre("SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij*, SolvoXYZij*) "
                          "input_point_cloud is nullptr.",
                          "SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij*, SolvoXYZij*) "
                          "output_point_cloud is nullptr."));
  EXPECT_EQ(output_.point_count, 0u);
}

TEST_F(CopyXYZijTest, RefusesACountWithoutPointsOnEitherSideAndLeavesTheOutput) {
  logging::LogCapture capture;
  SolvoXYZij no_points = input_;
  no_points.xyz = nullptr;
  no_points.point_count = 100;
  EXPECT_EQ(SolvoSupport_copyXYZij(&no_points, &output_), SOLVO_STATUS_BAD_ARGUMENT);
  SolvoXYZij no_room{};
  EXPECT_EQ(SolvoSupport_copyXYZij(&input_, &no_room), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre("SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij*, SolvoXYZij*) "
                          "input_point_cloud->xyz is nullptr.",
                          "SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij*, SolvoXYZij*) "
                          "output_point_cloud->xyz is nullptr."));
  EXPECT_EQ(output_.point_count, 0u);
  EXPECT_EQ(output_.timestamp, 0.0);
  EXPECT_EQ(no_room.point_count, 0u);
  // Without points to copy, neither array is needed.
  no_points.point_count = 0;
  EXPECT_EQ(SolvoSupport_copyXYZij(&no_points, &no_room), SOLVO_STATUS_OK);
  EXPECT_EQ(no_room.timestamp, 4.25);
}

TEST(SolvoHalPointCloudFromSolvoXYZ, BorrowsThePointsAndTruncatesTheTime) {
  float points[2][3] = {{1, 2, 3}, {4, 5, 6}};
  SolvoXYZij cloud{};
  cloud.xyz = points;
  cloud.point_count = 2;
  cloud.timestamp = 1.5;
  SolvoHalPointCloud hal;
  std::memset(&hal, 0xAB, sizeof hal);
  solvo_support_api::SolvoHalPointCloudFromSolvoXYZ(cloud, &hal);
  EXPECT_EQ(hal.points, points);
  EXPECT_EQ(hal.num_points, 2u);
  EXPECT_EQ(hal.timestamp_ns, 1500000000);
  EXPECT_EQ(hal.header_word, 0u);
  EXPECT_EQ(hal.reserved_b, 0u);
}

TEST(TimestampNanoseconds, TruncatesTowardZeroAndSaturates) {
  using solvo_support_api::TimestampNanoseconds;
  EXPECT_EQ(TimestampNanoseconds(1.5), 1500000000);
  EXPECT_EQ(TimestampNanoseconds(-0.5), -500000000);
  EXPECT_EQ(TimestampNanoseconds(1e-10), 0);
  EXPECT_EQ(TimestampNanoseconds(-1e-10), 0);
  EXPECT_EQ(TimestampNanoseconds(std::nan("")), 0);
  EXPECT_EQ(TimestampNanoseconds(1e300), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(TimestampNanoseconds(-std::numeric_limits<double>::infinity()),
            std::numeric_limits<int64_t>::min());
}

TEST(ExportedFunctions, WriteNothingToTheLogOnSuccess) {
  logging::LogCapture capture;
  SolvoXYZij cloud{};
  SolvoSupport_createXYZij(1, &cloud);
  SolvoSupport_freeXYZij(&cloud);
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

}  // namespace
