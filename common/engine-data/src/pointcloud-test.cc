// Wrapping hardware-layer records: alignment, borrowed points, identity pose, and null records.
#include "engine-data/pointcloud.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using engine_data::PointCloud;

TEST(PointCloud, WrapsARecordWithoutOwningItsPoints) {
  std::vector<float> storage = {1, 2, 3, 4, 5, 6};
  SolvoHalPointCloud hal{};
  hal.num_points = 2;
  hal.points = reinterpret_cast<float(*)[3]>(storage.data());
  {
    auto cloud = PointCloud::WrapSolvoHal(&hal);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(cloud.get()) % 16, 0u);
    EXPECT_EQ(cloud->hal_cloud(), &hal);
    EXPECT_EQ(cloud->NPoints(), 2u);
    EXPECT_EQ(cloud->Points()(2, 1), 6.0f);
    EXPECT_EQ(cloud->aux_matrix().size(), 0);
    EXPECT_TRUE(cloud->pose().translation().isZero());
    EXPECT_EQ(cloud->pose().rotation().coeffs(), Eigen::Vector4d(0, 0, 0, 1));
  }
  // The record and its points are left alone when the last owner lets go.
  EXPECT_EQ(hal.points, reinterpret_cast<float(*)[3]>(storage.data()));
  EXPECT_EQ(hal.num_points, 2u);
}

TEST(SolvoHalPointCloud, ReleaseFreesOwnedPointsAndResets) {
  SolvoHalPointCloud hal{};
  hal.timestamp_ns = 5;
  hal.num_points = 1;
  hal.points = static_cast<float(*)[3]>(std::malloc(sizeof(float[3])));
  engine_data::ReleaseSolvoHalPointCloud(&hal);  // a leak here fails the sanitizer run
  EXPECT_EQ(hal.points, nullptr);
  EXPECT_EQ(hal.num_points, 0u);
  EXPECT_EQ(hal.timestamp_ns, 0);
}

TEST(PointCloudDeathTest, RefusesANullRecord) {
  EXPECT_DEATH(PointCloud::WrapSolvoHal(nullptr), "'solvo_hal_cloud' Must be non NULL");
}

}  // namespace
