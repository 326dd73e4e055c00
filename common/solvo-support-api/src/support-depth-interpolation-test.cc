// Depth at an image point: nearest projection, thresholds, ties and the argument checks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "logging/log-capture.h"
#include "nearest-projection.h"
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

// The plain loop the lookup must agree with bit for bit, however it is organised.
solvo_support_api::NearestProjection ReferenceScan(const solvo_support_api::ProjectionQuery& q,
                                                   const float (*xyz)[3], uint32_t count) {
  solvo_support_api::NearestProjection nearest;
  const double* m = q.color_camera_T_point_cloud;
  for (uint32_t i = 0; i < count; ++i) {
    const double x = xyz[i][0], y = xyz[i][1], z = xyz[i][2];
    volatile double px = m[0] * x;  // volatile: each step rounded on its own
    px = px + m[4] * y;
    px = px + m[8] * z;
    px = px + m[12];
    volatile double py = m[1] * x;
    py = py + m[5] * y;
    py = py + m[9] * z;
    py = py + m[13];
    volatile double pz = m[2] * x;
    pz = pz + m[6] * y;
    pz = pz + m[10] * z;
    pz = pz + m[14];
    volatile double a = q.fx * px;
    a = a / pz + q.cx;
    volatile double b = q.fy * py;
    b = b / pz + q.cy;
    volatile double du = a - q.u;
    volatile double dv = b - q.v;
    volatile double s = du * du;
    s = s + dv * dv;
    if (s < nearest.squared_distance) {
      nearest.squared_distance = s;
      nearest.depth = pz;
    }
  }
  return nearest;
}

TEST(NearestProjectionScans, EveryScanAgreesWithThePlainLoopBitForBit) {
  std::mt19937 engine(20260);
  std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
  std::uniform_int_distribution<int> kind(0, 19);
  solvo_support_api::ProjectionQuery query{};
  const double transform[16] = {0.96,  0.28,   -0.01,  0, -0.28, 0.96,    0.02,   0,
                                0.015, -0.017, 0.9997, 0, 0.031, -0.0022, 0.0041, 1};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = transform[k];
  query.fx = 1041.3;
  query.fy = 1039.7;
  query.cx = 639.1;
  query.cy = 358.4;
  for (uint32_t count : {0u, 1u, 2u, 3u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 1000u, 4099u}) {
    std::vector<float> xyz;
    for (uint32_t i = 0; i < count; ++i) {
      const int which = kind(engine);
      if (which == 0 && i > 0) {  // an exact duplicate of an earlier point: a tie
        const size_t source = 3 * (engine() % i);
        for (int c = 0; c < 3; ++c) xyz.push_back(xyz[source + c]);
      } else if (which == 1) {
        xyz.insert(xyz.end(), {coordinate(engine), kNaN, coordinate(engine)});
      } else if (which == 2) {
        xyz.insert(xyz.end(), {0.0f, 0.0f, 0.0f});
      } else {
        xyz.insert(xyz.end(), {coordinate(engine), coordinate(engine), coordinate(engine)});
      }
    }
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    for (double u : {640.0, 17.5, 1e9}) {
      query.u = u;
      query.v = u * 0.56;
      const solvo_support_api::NearestProjection expected = ReferenceScan(query, points, count);
      for (const auto& scan : solvo_support_api::NearestProjectionScans()) {
        const solvo_support_api::NearestProjection found = scan.scan(query, points, count);
        EXPECT_EQ(found.squared_distance, expected.squared_distance)
            << scan.name << ", " << count << " points, u " << u;
        EXPECT_EQ(std::signbit(found.depth), std::signbit(expected.depth)) << scan.name;
        EXPECT_EQ(found.depth, expected.depth) << scan.name << ", " << count << " points";
      }
    }
  }
}

// The scans work through the cloud in groups and blocks of points; a winner must not depend on
// where those start. Points k (x, y, z) for k a power of two project to one pixel at distinct
// depths, so an exact tie shows which point won.
TEST(NearestProjectionScans, KeepTheEarliestOfTiedPointsWhereverTheyStand) {
  solvo_support_api::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.cx = 320.0;
  query.cy = 240.0;
  query.u = 330.0;
  query.v = 236.0;
  constexpr uint32_t kCount = 300;
  for (uint32_t first : {0u, 1u, 3u, 7u, 8u, 63u, 64u, 65u, 127u, 128u, 255u, 256u, 290u, 299u}) {
    std::vector<float> xyz;
    for (uint32_t i = 0; i < kCount; ++i) {  // far from (330, 236), or NaN every fifth point
      const float x = i % 5 == 4 ? kNaN : 0.5f + 0.001f * static_cast<float>(i);
      xyz.insert(xyz.end(), {x, -0.25f, 1.0f});
    }
    // (0.0625, -0.25, 3.2) lands about 10 px right of and 40 px above (320, 240): the tied points
    // come at `first` and after it, each twice as deep as the one before.
    float scale = 1.0f;
    for (uint32_t i = first; i < kCount; i += 37, scale *= 2.0f) {
      xyz[3 * i] = 0.0625f * scale;
      xyz[3 * i + 1] = -0.25f * scale;
      xyz[3 * i + 2] = 3.2f * scale;
    }
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    const solvo_support_api::NearestProjection expected = ReferenceScan(query, points, kCount);
    ASSERT_EQ(expected.depth, 3.2f) << "first tied point at " << first;
    for (const auto& scan : solvo_support_api::NearestProjectionScans()) {
      const solvo_support_api::NearestProjection found = scan.scan(query, points, kCount);
      EXPECT_EQ(found.squared_distance, expected.squared_distance) << scan.name << ", " << first;
      EXPECT_EQ(found.depth, expected.depth) << scan.name << ", first tied point at " << first;
    }
  }
}

// Each point nearer than all before it, then each farther: the best changes in every group of
// the first cloud and never after the first point in the second.
TEST(NearestProjectionScans, FollowAWinnerThatChangesWithEveryPoint) {
  solvo_support_api::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.cx = 320.0;
  query.cy = 240.0;
  query.u = 320.0;
  query.v = 240.0;
  for (bool approaching : {true, false}) {
    constexpr uint32_t kCount = 1000;
    std::vector<float> xyz;
    for (uint32_t i = 0; i < kCount; ++i) {
      const float step = static_cast<float>(approaching ? kCount - i : i + 1);
      xyz.insert(xyz.end(), {0.001f * step, 0.0005f * step, 1.0f + 0.001f * static_cast<float>(i)});
    }
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    const solvo_support_api::NearestProjection expected = ReferenceScan(query, points, kCount);
    ASSERT_EQ(expected.depth, static_cast<double>(xyz[approaching ? 3 * kCount - 1 : 2]));
    for (const auto& scan : solvo_support_api::NearestProjectionScans()) {
      const solvo_support_api::NearestProjection found = scan.scan(query, points, kCount);
      EXPECT_EQ(found.squared_distance, expected.squared_distance) << scan.name;
      EXPECT_EQ(found.depth, expected.depth) << scan.name << (approaching ? ", approaching" : "");
    }
  }
}

// A cloud whose every distance is NaN or +infinity has no nearest point, in no scan.
TEST(NearestProjectionScans, FindNoWinnerAmongNaNAndInfiniteDistances) {
  solvo_support_api::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.u = query.v = 100.0;
  std::vector<float> xyz;
  for (uint32_t i = 0; i < 200; ++i) {
    if (i % 3 == 0) {
      xyz.insert(xyz.end(), {kNaN, 0.5f, 1.0f});
    } else {  // z = 0: the projection is infinitely far, or NaN for x = 0
      xyz.insert(xyz.end(), {static_cast<float>(i % 2), 1.0f, 0.0f});
    }
  }
  const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
  for (const auto& scan : solvo_support_api::NearestProjectionScans()) {
    const solvo_support_api::NearestProjection found = scan.scan(query, points, 200);
    EXPECT_EQ(found.squared_distance, std::numeric_limits<double>::infinity()) << scan.name;
    EXPECT_EQ(found.depth, 0.0) << scan.name;
  }
}

// Points far to the side of the queried pixel are passed over without their divisions once a
// near point is known. Here the first point lies 5 pixels below the queried pixel (squared
// distance exactly 25), and one contender on the queried row lies 5 pixels to the left or right
// give or take j 2^-44 pixels, at depths inside and outside the range in which points may be
// passed over. Nudging the queried column itself keeps every quotient exact, so the contender
// must win exactly when it is nearer than 5 pixels, whether within units in the last place of
// the bound or well beyond it.
TEST(NearestProjectionScans, DecideAContenderAtTheBestDistanceExactlyAsThePlainLoop) {
  solvo_support_api::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.cx = 320.0;
  query.cy = 240.0;
  query.v = 250.0;
  std::mt19937 engine(5150);
  const int64_t nudges[] = {0, 1, 2, 7, 64, 1000, 1 << 14, 1 << 16, 1 << 20, 1 << 30};
  const float depths[] = {1.0f, 3.0f, 0.75f, 0x1p-20f, 0x1p-21f, 0x1p100f, -1.0f};
  int contender_wins = 0, first_point_wins = 0;
  for (int trial = 0; trial < 420; ++trial) {
    const int64_t j = nudges[engine() % 10] * (engine() % 2 == 0 ? 1 : -1);
    query.u = 330.0 + static_cast<double>(j) * 0x1p-44;
    const uint32_t count = 200 + engine() % 70;
    std::vector<float> xyz;
    for (uint32_t i = 0; i < count; ++i) xyz.insert(xyz.end(), {0.9f, 0.9f, 1.0f});  // far away
    const uint32_t first = engine() % 64;
    xyz[3 * first] = 10.0f / 512;  // column offset -j 2^-44, row offset 5
    xyz[3 * first + 1] = 15.0f / 512;
    xyz[3 * first + 2] = 1.0f;
    const uint32_t contender = 64 + engine() % (count - 64);
    const float z = depths[trial % 7];
    const float quotient = trial % 2 == 0 ? 15.0f : 5.0f;  // column offset +-5 - j 2^-44
    xyz[3 * contender] = quotient * z / 512;
    xyz[3 * contender + 1] = 10.0f * z / 512;
    xyz[3 * contender + 2] = z;
    const bool nearer = quotient == 15.0f ? j > 0 : j < 0;
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    const solvo_support_api::NearestProjection expected = ReferenceScan(query, points, count);
    ASSERT_EQ(expected.depth, nearer ? z : 1.0f) << "trial " << trial;
    (nearer ? contender_wins : first_point_wins) += 1;
    for (const auto& scan : solvo_support_api::NearestProjectionScans()) {
      const solvo_support_api::NearestProjection found = scan.scan(query, points, count);
      EXPECT_EQ(found.squared_distance, expected.squared_distance)
          << scan.name << ", trial " << trial << ", j " << j << ", depth " << z;
      EXPECT_EQ(found.depth, expected.depth) << scan.name << ", trial " << trial;
    }
  }
  EXPECT_GT(contender_wins, 100);
  EXPECT_GT(first_point_wins, 100);
}

}  // namespace
