// Depth at an image point: nearest projection, thresholds, ties and the argument checks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "logging/log-capture.h"
#include "solvo_support_api.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kMatrixSignature[] =
    "SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(const SolvoXYZij*, "
    "const SolvoCameraIntrinsics*, const double*, const float*, float*, int*)";
constexpr char kPoseSignature[] =
    "SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighbor(const SolvoXYZij*, "
    "const SolvoCameraIntrinsics*, const SolvoPoseData*, const float*, float*, int*)";
constexpr double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A 640 x 480 camera whose focal length 512 makes pixel offsets exact binary fractions: a point
// (x, y, z) in the camera frame lands 512 x / z pixels right of the centre (320, 240).
class DepthAtPointTest : public ::testing::Test {
 protected:
  DepthAtPointTest() {
    intrinsics_.width = 640;
    intrinsics_.height = 480;
    intrinsics_.fx = intrinsics_.fy = 512.0;
    intrinsics_.cx = 320.0;
    intrinsics_.cy = 240.0;
  }

  // A camera-frame point that lands `offset` pixels right of the centre at depth `z`.
  static std::vector<float> RightOfCentre(double offset, float z) {
    return {static_cast<float>(offset * z / 512.0), 0.0f, z};
  }

  SolvoErrorType Lookup(std::vector<std::vector<float>> points,
                        const double* transform = kIdentity) {
    xyz_.clear();
    for (const auto& point : points) xyz_.push_back({point[0], point[1], point[2]});
    cloud_.point_count = static_cast<uint32_t>(xyz_.size());
    cloud_.xyz = reinterpret_cast<float(*)[3]>(xyz_.data());
    return SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
        &cloud_, &intrinsics_, transform, uv_, point_out_, &valid_);
  }

  struct Point3 {
    float x, y, z;
  };
  std::vector<Point3> xyz_;
  SolvoXYZij cloud_{};
  SolvoCameraIntrinsics intrinsics_{};
  float uv_[2] = {0.5f, 0.5f};  // the pixel (320, 240)
  float point_out_[3] = {7.0f, 7.0f, 7.0f};
  int valid_ = 7;
};

TEST_F(DepthAtPointTest, APointOnTheQueriedPixelComesBackInTheColourFrame) {
  // The colour camera sits 0.25 m right of the depth camera: depth point (0.5, -0.25, 2) is
  // (0.25, -0.25, 2) in the colour frame and lands on pixel (384, 176), which the float
  // fractions (0.6, 0.3666...) of the image name up to rounding.
  const double color_camera_T_point_cloud[16] = {1, 0, 0, 0, 0,     1, 0, 0,
                                                 0, 0, 1, 0, -0.25, 0, 0, 1};
  uv_[0] = 384.0f / 640.0f;
  uv_[1] = 176.0f / 480.0f;
  EXPECT_EQ(Lookup({{0.5f, -0.25f, 2.0f}}, color_camera_T_point_cloud), SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 1);
  EXPECT_FLOAT_EQ(point_out_[0], 0.25f);
  EXPECT_FLOAT_EQ(point_out_[1], -0.25f);
  EXPECT_EQ(point_out_[2], 2.0f);
}

TEST_F(DepthAtPointTest, LiftsTheQueriedPixelToTheNeighboursDepthNotTheNeighbourItself) {
  uv_[0] = 330.0f / 640.0f;  // pixel (330, 240); the point lands on (326, 240)
  EXPECT_EQ(Lookup({RightOfCentre(6.0, 4.0f)}), SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 1);
  EXPECT_THAT(point_out_, ElementsAre(10.0f * 4.0f / 512.0f, 0.0f, 4.0f));
}

TEST_F(DepthAtPointTest, FindsAPointExactlyTenPixelsAway) {
  EXPECT_EQ(Lookup({RightOfCentre(10.0, 2.0f)}), SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 1);
  EXPECT_THAT(point_out_, ElementsAre(0.0f, 0.0f, 2.0f));
}

TEST_F(DepthAtPointTest, ReportsNothingFoundJustBeyondTenPixels) {
  EXPECT_EQ(Lookup({RightOfCentre(10.01, 2.0f), {0.0f, 10.01f * 2.0f / 512.0f, 2.0f}}),
            SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 0);
  EXPECT_THAT(point_out_, ElementsAre(0.0f, 0.0f, 0.0f));
}

TEST_F(DepthAtPointTest, ANearerPointWinsWhereverItStands) {
  std::vector<std::vector<float>> points(23, RightOfCentre(9.0, 3.0f));
  for (size_t nearest = 0; nearest < points.size(); ++nearest) {
    auto with_nearest = points;
    with_nearest[nearest] = RightOfCentre(-2.0, 5.0f);
    ASSERT_EQ(Lookup(with_nearest), SOLVO_STATUS_OK);
    EXPECT_EQ(point_out_[2], 5.0f) << "nearest point at index " << nearest;
  }
}

TEST_F(DepthAtPointTest, OfTwoPointsAtTheSameDistanceTheEarlierWins) {
  // Pairs within one group of points and across groups and the tail, at every stride the
  // lookup may process points in.
  const std::pair<size_t, size_t> pairs[] = {{0, 1},  {1, 2},  {2, 5},  {3, 8},   {6, 9},
                                             {7, 16}, {5, 20}, {0, 21}, {20, 22}, {21, 22}};
  for (const auto& [earlier, later] : pairs) {
    std::vector<std::vector<float>> points(23, RightOfCentre(50.0, 1.0f));  // out of reach
    points[earlier] = RightOfCentre(-3.0, 2.0f);
    points[later] = RightOfCentre(3.0, 6.0f);  // mirrored: the same squared distance
    ASSERT_EQ(Lookup(points), SOLVO_STATUS_OK);
    EXPECT_EQ(point_out_[2], 2.0f) << "tie between " << earlier << " and " << later;
  }
}

TEST_F(DepthAtPointTest, APointWithoutAProjectionNeverWins) {
  // NaN coordinates, and a point in the camera's centre, whose projection is 0 / 0.
  for (const std::vector<float>& bad :
       {std::vector<float>{kNaN, 0.0f, 2.0f}, {0.0f, 0.0f, kNaN}, {0.0f, 0.0f, 0.0f}}) {
    EXPECT_EQ(Lookup({bad, bad, bad, bad, RightOfCentre(4.0, 3.0f), bad, bad}), SOLVO_STATUS_OK);
    EXPECT_EQ(valid_, 1);
    EXPECT_EQ(point_out_[2], 3.0f);
    EXPECT_EQ(Lookup({bad, bad, bad, bad, bad, bad, bad, bad, bad}), SOLVO_STATUS_OK);
    EXPECT_EQ(valid_, 0);
  }
}

TEST_F(DepthAtPointTest, ProjectsPointsBehindTheCameraLikeAnyOther) {
  // (-x, 0, -z) lands where (x, 0, z) does; the depth comes back negative.
  EXPECT_EQ(Lookup({{-4.0f / 512.0f, 0.0f, -1.0f}}), SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 1);
  EXPECT_EQ(point_out_[2], -1.0f);
}

TEST_F(DepthAtPointTest, WritesOnlyThePointWhenValidOutIsNull) {
  cloud_.point_count = 1;
  float xyz[1][3] = {{0.0f, 0.0f, 1.5f}};
  cloud_.xyz = xyz;
  EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
                &cloud_, &intrinsics_, kIdentity, uv_, point_out_, nullptr),
            SOLVO_STATUS_OK);
  EXPECT_THAT(point_out_, ElementsAre(0.0f, 0.0f, 1.5f));
}

TEST_F(DepthAtPointTest, ThePoseVariantUsesThePoseAsTransform) {
  // A half turn about x: the depth point (0, 0, -2) is (0, 0, 2) in the colour frame, and
  // (0.25, 0.25, -2) lands at (384, 176) after y is negated.
  SolvoPoseData pose{};
  pose.orientation[0] = 1.0;
  float xyz[2][3] = {{0.0f, 0.0f, -2.0f}, {0.25f, 0.25f, -2.0f}};
  cloud_.point_count = 2;
  cloud_.xyz = xyz;
  uv_[0] = 384.0f / 640.0f;
  uv_[1] = 176.0f / 480.0f;
  EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighbor(&cloud_, &intrinsics_, &pose, uv_,
                                                        point_out_, &valid_),
            SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 1);
  EXPECT_FLOAT_EQ(point_out_[0], 0.25f);
  EXPECT_FLOAT_EQ(point_out_[1], -0.25f);
  EXPECT_EQ(point_out_[2], 2.0f);
}

class DepthAtPointArgumentsTest : public DepthAtPointTest {
 protected:
  DepthAtPointArgumentsTest() {
    cloud_.point_count = 1;
    cloud_.xyz = xyz_one_;
  }

  // Calls the matrix variant, expects `message` as its only line, and nothing written.
  void ExpectRefused(const SolvoXYZij* cloud, const SolvoCameraIntrinsics* intrinsics,
                     const double* transform, const float* uv, float* point_out,
                     const std::string& message) {
    logging::LogCapture capture;
    EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
                  cloud, intrinsics, transform, uv, point_out, &valid_),
              SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_THAT(capture.Texts(), ElementsAre(kMatrixSignature + message));
    EXPECT_THAT(point_out_, ElementsAre(7.0f, 7.0f, 7.0f));
    EXPECT_EQ(valid_, 7);
  }

  float xyz_one_[1][3] = {{0.0f, 0.0f, 1.0f}};
};

TEST_F(DepthAtPointArgumentsTest, RefusesEachBadArgumentWithItsLine) {
  ExpectRefused(nullptr, &intrinsics_, kIdentity, uv_, point_out_, " point_cloud is nullptr.");
  SolvoXYZij no_array = cloud_;
  no_array.xyz = nullptr;
  ExpectRefused(&no_array, &intrinsics_, kIdentity, uv_, point_out_,
                " point_cloud->xyz is nullptr.");
  ExpectRefused(&cloud_, nullptr, kIdentity, uv_, point_out_, " camera_intrinsics is nullptr.");
  SolvoXYZij empty = cloud_;
  empty.point_count = 0;
  ExpectRefused(&empty, &intrinsics_, kIdentity, uv_, point_out_,
                " point cloud contains less than one point.");
  SolvoCameraIntrinsics flat = intrinsics_;
  flat.fx = 0.0;
  ExpectRefused(&cloud_, &flat, kIdentity, uv_, point_out_, " camera intrinsics are invalid.");
  flat = intrinsics_;
  flat.fy = -1.0;
  ExpectRefused(&cloud_, &flat, kIdentity, uv_, point_out_, " camera intrinsics are invalid.");
  ExpectRefused(&cloud_, &intrinsics_, nullptr, uv_, point_out_,
                " color_camera_T_point_cloud is nullptr.");
  ExpectRefused(&cloud_, &intrinsics_, kIdentity, nullptr, point_out_,
                " uv_coordinates is nullptr.");
  ExpectRefused(&cloud_, &intrinsics_, kIdentity, uv_, nullptr, " point_out is nullptr.");
}

TEST_F(DepthAtPointArgumentsTest, ReportsOnlyTheFirstOfSeveralBadArguments) {
  SolvoXYZij empty{};  // no array and no points
  ExpectRefused(&empty, nullptr, nullptr, nullptr, nullptr, " point_cloud->xyz is nullptr.");
  empty.xyz = xyz_one_;
  SolvoCameraIntrinsics flat = intrinsics_;
  flat.fx = 0.0;
  ExpectRefused(&empty, &flat, nullptr, nullptr, nullptr,
                " point cloud contains less than one point.");
  ExpectRefused(&cloud_, &flat, nullptr, nullptr, nullptr, " camera intrinsics are invalid.");
}

TEST_F(DepthAtPointArgumentsTest, ANaNFocalLengthPassesTheCheckAndFindsNothing) {
  intrinsics_.fx = std::numeric_limits<double>::quiet_NaN();
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
                &cloud_, &intrinsics_, kIdentity, uv_, point_out_, &valid_),
            SOLVO_STATUS_OK);
  EXPECT_EQ(valid_, 0);
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST_F(DepthAtPointArgumentsTest, ThePoseVariantNamesItselfOnlyForAMissingPose) {
  logging::LogCapture capture;
  SolvoPoseData pose{};
  pose.orientation[3] = 1.0;
  EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighbor(nullptr, &intrinsics_, nullptr, uv_,
                                                        point_out_, &valid_),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighbor(nullptr, &intrinsics_, &pose, uv_,
                                                        point_out_, &valid_),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getDepthAtPointNearestNeighbor(&cloud_, &intrinsics_, &pose, uv_, nullptr,
                                                        &valid_),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kPoseSignature) + " color_camera_T_point_cloud is nullptr.",
                          std::string(kMatrixSignature) + " point_cloud is nullptr.",
                          std::string(kMatrixSignature) + " point_out is nullptr."));
  EXPECT_EQ(valid_, 7);
}

}  // namespace
