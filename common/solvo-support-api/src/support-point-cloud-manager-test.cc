// Exported point cloud manager functions: statuses, the one refusal with a line, and hand-over.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "logging/log-capture.h"
#include "solvo_support_api.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(PointCloudManagerApi, RefusesBadArgumentsWithoutALine) {
  logging::LogCapture capture;
  auto* const untouched = reinterpret_cast<SolvoSupportPointCloudManager*>(0x1);
  SolvoSupportPointCloudManager* manager = untouched;
  EXPECT_EQ(SolvoSupport_createPointCloudManager(0, &manager), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(manager, untouched);
  EXPECT_EQ(SolvoSupport_createPointCloudManager(10, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  if (sizeof(size_t) == 4) {
    // 0x20000000 points of 12 bytes do not fit in a 32-bit size_t.
    EXPECT_EQ(SolvoSupport_createPointCloudManager(0x20000000u, &manager),
              SOLVO_STATUS_BAD_ARGUMENT);
  }

  ASSERT_EQ(SolvoSupport_createPointCloudManager(10, &manager), SOLVO_STATUS_OK);
  SolvoXYZij cloud{};
  SolvoXYZij* latest = nullptr;
  EXPECT_EQ(SolvoSupport_updatePointCloud(nullptr, &cloud), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_updatePointCloud(manager, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getLatestPointCloud(nullptr, &latest), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getLatestPointCloud(manager, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(latest, nullptr);
  EXPECT_EQ(SolvoSupport_freePointCloudManager(manager), SOLVO_STATUS_OK);
  EXPECT_EQ(SolvoSupport_freePointCloudManager(nullptr), SOLVO_STATUS_OK);
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST(PointCloudManagerApi, RefusesACloudLargerThanTheCapacityAndKeepsTheHandedOutCloud) {
  SolvoSupportPointCloudManager* manager = nullptr;
  ASSERT_EQ(SolvoSupport_createPointCloudManager(2, &manager), SOLVO_STATUS_OK);
  std::vector<float> points = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  SolvoXYZij cloud{};
  cloud.xyz = reinterpret_cast<float(*)[3]>(points.data());
  cloud.point_count = 2;
  cloud.timestamp = 1.0;
  ASSERT_EQ(SolvoSupport_updatePointCloud(manager, &cloud), SOLVO_STATUS_OK);
  SolvoXYZij* latest = nullptr;
  ASSERT_EQ(SolvoSupport_getLatestPointCloud(manager, &latest), SOLVO_STATUS_OK);

  logging::LogCapture capture;
  cloud.point_count = 3;
  cloud.timestamp = 2.0;
  EXPECT_EQ(SolvoSupport_updatePointCloud(manager, &cloud), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre("SolvoErrorType SolvoSupport_updatePointCloud("
                          "SolvoSupportPointCloudManager*, const SolvoXYZij*) point_cloud has 3 "
                          "points, more than the capacity 2."));
  SolvoXYZij* after = nullptr;
  ASSERT_EQ(SolvoSupport_getLatestPointCloud(manager, &after), SOLVO_STATUS_OK);
  EXPECT_EQ(after, latest);
  EXPECT_EQ(after->timestamp, 1.0);
  EXPECT_EQ(after->point_count, 2u);
  EXPECT_THAT(std::vector<float>(&after->xyz[0][0], &after->xyz[0][0] + 6),
              ElementsAre(1, 2, 3, 4, 5, 6));
  SolvoSupport_freePointCloudManager(manager);
}

TEST(PointCloudManagerApi, AnEmptyCloudIsReportedInALineButIsNoBadArgument) {
  SolvoSupportPointCloudManager* manager = nullptr;
  ASSERT_EQ(SolvoSupport_createPointCloudManager(2, &manager), SOLVO_STATUS_OK);
  logging::LogCapture capture;
  SolvoXYZij empty{};
  empty.timestamp = 1.0;
  EXPECT_EQ(SolvoSupport_updatePointCloud(manager, &empty), SOLVO_STATUS_OK);
  EXPECT_THAT(capture.Texts(), ElementsAre("No data in callback."));
  SolvoXYZij* latest = nullptr;
  ASSERT_EQ(SolvoSupport_getLatestPointCloud(manager, &latest), SOLVO_STATUS_OK);
  EXPECT_EQ(latest->timestamp, 0.0);  // the cleared cloud, not the refused one
  SolvoSupport_freePointCloudManager(manager);
}

}  // namespace
