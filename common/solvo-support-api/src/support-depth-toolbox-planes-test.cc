// The exported plane fits: their checks and lines, statuses, untouched outputs and known results.
#include <gflags/gflags.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/mat4x4.hpp>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "depth-toolbox/plane-fitting.h"
#include "generic/random_generator_provider.h"
#include "logging/log-capture.h"
#include "solvo_support_api.h"
#include "support-depth-toolbox.h"

namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr char kRefine[] =
    "SolvoErrorType SolvoInternalSupport_refinePlaneModel(const SolvoXYZij*, const double*, "
    "double, double*)";
constexpr char kRansac[] =
    "SolvoErrorType SolvoInternalSupport_fitPlaneToPointCloudRANSAC(const SolvoXYZij*, int, "
    "double, double, double, double*)";
constexpr char kNearClickMatrix[] =
    "SolvoErrorType SolvoSupport_fitPlaneModelNearClickMatrixTransform(const SolvoXYZij*, const "
    "SolvoCameraIntrinsics*, const double*, const float*, double*, double*)";
constexpr char kNearClick[] =
    "SolvoErrorType SolvoSupport_fitPlaneModelNearClick(const SolvoXYZij*, const "
    "SolvoCameraIntrinsics*, const SolvoPoseData*, const float*, double*, double*)";
constexpr double kSentinel = 42.0;
constexpr double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A cloud record over its own storage.
class Cloud {
 public:
  Cloud() = default;
  Cloud(std::initializer_list<std::array<float, 3>> points) : points_(points) {}
  void Add(float x, float y, float z) { points_.push_back({x, y, z}); }
  const SolvoXYZij* record() {
    record_ = SolvoXYZij{};
    record_.timestamp = 3.0;
    record_.point_count = static_cast<uint32_t>(points_.size());
    record_.xyz = reinterpret_cast<float(*)[3]>(points_.data());
    return &record_;
  }
  Eigen::Map<const Eigen::Matrix3Xf> Matrix() const {
    return {points_.data()->data(), 3, static_cast<Eigen::Index>(points_.size())};
  }

 private:
  std::vector<std::array<float, 3>> points_;
  SolvoXYZij record_{};
};

std::vector<double> Coefficients(const geometry_toolbox::PlaneModel& plane) {
  return {plane.a(), plane.b(), plane.c(), plane.d()};
}

std::string Line(const char* signature, const char* message) {
  return std::string(signature) + message;
}

class SeedOne : public ::testing::Test {
 protected:
  void SetUp() override {
    FLAGS_random_generator_use_random_seed = false;
    FLAGS_random_generator_seed = 1;
  }
  gflags::FlagSaver flag_saver_;
  logging::LogCapture capture_;
};

// ---- Refinement ------------------------------------------------------------------------------

using RefinePlaneModel = SeedOne;

TEST_F(RefinePlaneModel, ChecksTheCloudBeforeThePlanesAndReportsOnlyTheFirstNull) {
  Cloud two = {{0, 0, 0}, {1, 0, 0}};
  Cloud three = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  double plane[4] = {0, 0, 1, 0};
  EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(nullptr, plane, 0.1, plane),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(two.record(), nullptr, 0.1, nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(three.record(), nullptr, 0.1, nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(three.record(), plane, 0.1, nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  SolvoXYZij no_points = *three.record();
  no_points.xyz = nullptr;
  EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(&no_points, plane, 0.1, plane),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture_.Texts(),
              ElementsAre(Line(kRefine, " point_cloud is nullptr."),
                          Line(kRefine, " insufficient number of points (3 required)."),
                          Line(kRefine, " input_plane_model is nullptr."),
                          Line(kRefine, " output_plane_model is nullptr."),
                          Line(kRefine, " point_cloud->xyz is nullptr.")));
  EXPECT_THAT(plane, ElementsAre(0, 0, 1, 0));
}

TEST_F(RefinePlaneModel, IgnoresAPointExactlyAtTheThresholdAndFitsThreeByCrossProduct) {
  // The fourth point lies exactly 0.5 from z = 0: not an inlier, so three remain, and their
  // normal (p2 - p0) x (p2 - p1) has length twice the triangle's area.
  Cloud cloud = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {1, 1, 0.5f}};
  const double input[4] = {0, 0, 1, 0};
  double output[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  ASSERT_EQ(SolvoInternalSupport_refinePlaneModel(cloud.record(), input, 0.5, output),
            SOLVO_STATUS_OK);
  EXPECT_THAT(output, ElementsAre(0, 0, 6, 0));
  EXPECT_THAT(capture_.Texts(), IsEmpty());
}

TEST_F(RefinePlaneModel, GivesAUnitNormalForMoreInliersAndMayWriteOverItsInput) {
  Cloud cloud = {{0, 0, 1}, {4, 0, 1}, {0, 4, 1}, {4, 4, 1}, {2, 2, 1}, {2, 2, 9}};
  double plane[4] = {0.1, 0, 2, -2};  // roughly z = 1, unnormalised
  ASSERT_EQ(SolvoInternalSupport_refinePlaneModel(cloud.record(), plane, 0.3, plane),
            SOLVO_STATUS_OK);
  EXPECT_NEAR(std::fabs(plane[2]), 1.0, 1e-6);
  EXPECT_NEAR(plane[0], 0.0, 1e-6);
  EXPECT_NEAR(plane[1], 0.0, 1e-6);
  EXPECT_NEAR(plane[3], -plane[2], 1e-6);
}

TEST_F(RefinePlaneModel, FailsSilentlyWhenTheInliersSpanNoPlane) {
  Cloud collinear = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {0, 5, 5}};
  Cloud collinear_many = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {9, 0, 0}, {0, 5, 5}};
  Cloud coincident = {{1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {0, 5, 5}};
  const double input[4] = {0, 0, 1, 0};
  for (Cloud* cloud : {&collinear, &collinear_many, &coincident}) {
    double output[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(cloud->record(), input, 0.1, output),
              SOLVO_STATUS_FAILED);
    EXPECT_THAT(output, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  }
  EXPECT_THAT(capture_.Texts(), IsEmpty());
}

TEST_F(RefinePlaneModel, ReportsTooFewInliersWithoutSignature) {
  Cloud cloud = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  for (const std::array<double, 4>& input :
       {std::array<double, 4>{0, 0, 0, 0}, std::array<double, 4>{0, 0, 1, -5}}) {
    double output[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(SolvoInternalSupport_refinePlaneModel(cloud.record(), input.data(), 0.1, output),
              SOLVO_STATUS_FAILED);
    EXPECT_THAT(output, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  }
  EXPECT_THAT(capture_.Texts(),
              ElementsAre("Insufficient number of inliers during plane refinement",
                          "Insufficient number of inliers during plane refinement"));
}

// ---- RANSAC ----------------------------------------------------------------------------------

using FitPlaneToPointCloudRansac = SeedOne;

// Scattered points in the unit cube: at a threshold of 1e-5 the plane of any sample drawn here
// holds its own three points and no other.
Cloud GeneralPosition(int n) {
  std::mt19937 engine(3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Cloud cloud;
  for (int i = 0; i < n; ++i) {
    const float x = unit(engine);
    const float y = unit(engine);
    cloud.Add(x, y, unit(engine));
  }
  return cloud;
}

// The plane FitPlaneModel gives for the listed points of `cloud`, in that order.
std::vector<double> ThreePointPlane(const Cloud& cloud, std::vector<int> indices) {
  geometry_toolbox::PlaneModel plane;
  EXPECT_TRUE(depth_toolbox::FitPlaneModel(cloud.Matrix(), indices, &plane));
  return Coefficients(plane);
}

TEST_F(FitPlaneToPointCloudRansac, ShowsTheFirstSampleOfSeedOneForTenAndAHundredPoints) {
  for (const auto& [n, first_sample] :
       {std::pair<int, std::vector<int>>{10, {0, 1, 7}}, {100, {0, 13, 75}}}) {
    Cloud cloud = GeneralPosition(n);
    double plane[4];
    // Every candidate has three inliers and a later one with as many never wins.
    ASSERT_EQ(
        SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 5, 1e-5, 1.0, 0.0, plane),
        SOLVO_STATUS_OK);
    EXPECT_THAT(plane, ElementsAreArray(ThreePointPlane(cloud, first_sample))) << n;
    double again[4];
    SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 5, 1e-5, 1.0, 0.0, again);
    EXPECT_THAT(again, ElementsAreArray(plane));
  }
}

TEST_F(FitPlaneToPointCloudRansac, ShowsTheSecondSampleWhenTheFirstIsDegenerate) {
  // Points 0, 1 and 7 on one line: the first sample (0, 1, 7) is skipped, (4, 5, 2) wins.
  Cloud cloud = {{0, 0, 0}, {1, 1, 1},   {5, -2, 3}, {-1, 4, 2}, {3, 7, -1},
                 {6, 1, 8}, {-4, -3, 5}, {3, 3, 3},  {9, -5, 1}, {2, 8, 6}};
  double plane[4];
  EXPECT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 1, 1e-4, 1.0, 0.0, plane),
      SOLVO_STATUS_FAILED);
  ASSERT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 2, 1e-4, 1.0, 0.0, plane),
      SOLVO_STATUS_OK);
  EXPECT_THAT(plane, ElementsAreArray(ThreePointPlane(cloud, {2, 4, 5})));
}

TEST_F(FitPlaneToPointCloudRansac, WritesTheDefaultPlaneWhenNoPlaneIsFound) {
  Cloud line = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {5, 5, 5}, {-3, -3, -3}};
  Cloud spread = GeneralPosition(20);
  struct Case {
    Cloud* cloud;
    int iterations;
    double threshold;
  };
  for (const Case& run : {Case{&spread, 0, 0.1}, Case{&spread, -3, 0.1}, Case{&line, 50, 0.1},
                          Case{&spread, 50, 0.0}, Case{&spread, 50, -1.0}}) {
    double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(SolvoInternalSupport_fitPlaneToPointCloudRANSAC(run.cloud->record(), run.iterations,
                                                              run.threshold, 0.8, 0.0, plane),
              SOLVO_STATUS_FAILED);
    EXPECT_THAT(plane, ElementsAre(0, 0, 1, 0));
  }
  EXPECT_THAT(capture_.Texts(), IsEmpty());
}

TEST_F(FitPlaneToPointCloudRansac, StopsAtTheFirstGoodSampleAndFitsEveryPoint) {
  Cloud cloud;
  for (int i = 0; i < 30; ++i) {
    cloud.Add(static_cast<float>(i % 6), static_cast<float>(i / 6), (i % 2 == 0) ? 1e-3f : 0.0f);
  }
  double plane[4];
  ASSERT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 50, 0.01, 1.0, 1.0, plane),
      SOLVO_STATUS_OK);
  geometry_toolbox::PlaneModel all;
  ASSERT_TRUE(depth_toolbox::FitPlaneModel(cloud.Matrix(), &all));
  EXPECT_THAT(plane, ElementsAreArray(Coefficients(all)));
  EXPECT_NEAR(std::hypot(plane[0], plane[1], plane[2]), 1.0, 1e-6);
}

TEST_F(FitPlaneToPointCloudRansac, AcceptsRatiosEqualToBothLimits) {
  // A tetrahedron: each sample's plane holds exactly three of the four points, ratio 0.75. Seed
  // 1 draws the sample (0, 3, 1); the result is its unnormalised cross product.
  Cloud cloud = {{0, 0, 0}, {4, 0, 0}, {0, 3, 0}, {1, 1, 5}};
  double plane[4];
  ASSERT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 50, 0.1, 0.75, 0.75, plane),
      SOLVO_STATUS_OK);
  EXPECT_THAT(plane, ElementsAreArray(ThreePointPlane(cloud, {0, 1, 3})));
  EXPECT_GT(std::hypot(plane[0], plane[1], plane[2]), 2.0);
  EXPECT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 50, 0.1, 0.8, 0.76, plane),
      SOLVO_STATUS_FAILED);
}

TEST_F(FitPlaneToPointCloudRansac, RefusesBadArgumentsWithOneLineAndLeavesThePlane) {
  constexpr char kOutOfOrder[] = " requires minimum_inlier_ratio <= sufficient_inlier_ratio.";
  Cloud two = {{0, 0, 0}, {1, 0, 0}};
  Cloud cloud = GeneralPosition(10);
  double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(SolvoInternalSupport_fitPlaneToPointCloudRANSAC(nullptr, 5, 0.1, 0.8, 0.3, plane),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(two.record(), 5, 0.1, 0.8, 0.3, nullptr),
      SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 5, 0.1, 0.8, 0.3, nullptr),
      SOLVO_STATUS_BAD_ARGUMENT);
  for (const std::array<double, 2>& ratios :
       {std::array<double, 2>{0.8, -0.1}, std::array<double, 2>{0.8, nan},
        std::array<double, 2>{0.3, 0.5}, std::array<double, 2>{nan, 0.3},
        std::array<double, 2>{1.5, 0.3}}) {
    EXPECT_EQ(SolvoInternalSupport_fitPlaneToPointCloudRANSAC(cloud.record(), 5, 0.1, ratios[0],
                                                              ratios[1], plane),
              SOLVO_STATUS_BAD_ARGUMENT);
  }
  EXPECT_THAT(plane, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(capture_.Texts(),
              ElementsAre(Line(kRansac, " point_cloud is nullptr."),
                          Line(kRansac, " insufficient number of points (3 required)."),
                          Line(kRansac, " plane_model is nullptr."),
                          Line(kRansac, " requires 0.0 <= minimum_inlier_ratio."),
                          Line(kRansac, " requires 0.0 <= minimum_inlier_ratio."),
                          Line(kRansac, kOutOfOrder), Line(kRansac, kOutOfOrder),
                          Line(kRansac, " requires sufficient_inlier_ratio <= 1.0.")));
}

// ---- The plane under a touch -----------------------------------------------------------------

// A 640 x 480 colour camera, principal point at the image centre.
SolvoCameraIntrinsics Camera() {
  SolvoCameraIntrinsics intrinsics{};
  intrinsics.width = 640;
  intrinsics.height = 480;
  intrinsics.fx = 500.0;
  intrinsics.fy = 500.0;
  intrinsics.cx = 320.0;
  intrinsics.cy = 240.0;
  return intrinsics;
}

// The level floor y = 1.5 (y points down), from z = 1 to 8.
Cloud Floor(float lift_near_touch = 0.0f) {
  Cloud cloud;
  for (int row = 0; row < 60; ++row) {
    for (int column = 0; column < 41; ++column) {
      const float x = -4.0f + 0.2f * static_cast<float>(column);
      const float z = 1.0f + 7.0f * static_cast<float>(row) / 59.0f;
      // A slight tilt where the touch falls (far from the camera), within RANSAC's threshold.
      const float y = z > 3.3f ? 1.5f + lift_near_touch * (z - 3.3f) : 1.5f;
      cloud.Add(x, y, z);
    }
  }
  return cloud;
}

using FitPlaneModelNearClick = SeedOne;

TEST_F(FitPlaneModelNearClick, FindsTheLevelFloorUnderATouchAndTheTouchedPoint) {
  Cloud floor = Floor();
  const SolvoCameraIntrinsics camera = Camera();
  const float touch[2] = {0.5f, 0.75f};
  double point[3];
  double plane[4];
  ASSERT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(floor.record(), &camera, kIdentity,
                                                               touch, point, plane),
            SOLVO_STATUS_OK);
  EXPECT_THAT(plane, ElementsAre(DoubleNear(0, 1e-6), DoubleNear(-1, 1e-6), DoubleNear(0, 1e-6),
                                 DoubleNear(1.5, 1e-6)));
  // On the plane, and on the ray through pixel (320, 360), whose direction is computed in single
  // precision: x = 0, y / z = 120 / 500, so (0, 1.5, 6.25).
  EXPECT_NEAR(plane[0] * point[0] + plane[1] * point[1] + plane[2] * point[2] + plane[3], 0.0,
              1e-9);
  EXPECT_NEAR(point[0], 0.0, 1e-9);
  EXPECT_NEAR(point[1] / point[2], 0.24, 1e-7);
  EXPECT_NEAR(point[2], 6.25, 1e-5);
  EXPECT_THAT(capture_.Texts(), IsEmpty());

  // The pose variant with the identity pose gives the same answer.
  SolvoPoseData pose{};
  pose.orientation[3] = 1.0;
  double pose_point[3];
  double pose_plane[4];
  ASSERT_EQ(SolvoSupport_fitPlaneModelNearClick(floor.record(), &camera, &pose, touch, pose_point,
                                                pose_plane),
            SOLVO_STATUS_OK);
  EXPECT_THAT(pose_plane, ElementsAreArray(plane));
  EXPECT_THAT(pose_point, ElementsAreArray(point));
}

TEST_F(FitPlaneModelNearClick, RefinesWithPointsOfThePlaneFarFromTheTouch) {
  // Near the touch the floor rises by 0.002 per unit of depth; the many points nearer the camera
  // lie on y = 1.5 exactly and pull the final plane towards it.
  Cloud floor = Floor(0.002f);
  const SolvoCameraIntrinsics camera = Camera();
  const float touch[2] = {0.5f, 0.75f};
  double point[3];
  double plane[4];
  ASSERT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(floor.record(), &camera, kIdentity,
                                                               touch, point, plane),
            SOLVO_STATUS_OK);
  const double tilt = std::fabs(plane[2]);
  EXPECT_GT(tilt, 1e-5);
  EXPECT_LT(tilt, 0.0015);  // the near points alone tilt the normal by 0.002
}

TEST_F(FitPlaneModelNearClick, CountsOnlyPointsStrictlyWithinOneHundredPixels) {
  // With fx = fy = 1 and the principal point at 0, pixel = (x / z, y / z); the touch is (0, 0).
  SolvoCameraIntrinsics camera = Camera();
  camera.fx = camera.fy = 1.0;
  camera.cx = camera.cy = 0.0;
  Cloud cloud = {{0, 0, 1}, {10, 0, 1}, {100, 0, 1}, {0, 100, 1}, {60, 80, 1}, {500, 500, 1}};
  const float touch[2] = {0.0f, 0.0f};
  double point[3] = {kSentinel, kSentinel, kSentinel};
  double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(cloud.record(), &camera, kIdentity,
                                                               touch, point, plane),
            SOLVO_STATUS_FAILED);
  EXPECT_THAT(point, ElementsAre(kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(plane, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(
      capture_.Texts(),
      ElementsAre(Line(kNearClickMatrix, " insufficient depth points near click location.")));
}

TEST_F(FitPlaneModelNearClick, ReportsAPlaneSeenEdgeOn) {
  // The plane x = 0 holds the ray through the image centre.
  Cloud wall;
  for (int i = 0; i < 40; ++i) {
    wall.Add(0.0f, 0.05f * static_cast<float>(i % 8) - 0.2f,
             2.0f + 0.1f * static_cast<float>(i / 8));
  }
  const SolvoCameraIntrinsics camera = Camera();
  const float touch[2] = {0.5f, 0.5f};
  double point[3] = {kSentinel, kSentinel, kSentinel};
  double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(wall.record(), &camera, kIdentity,
                                                               touch, point, plane),
            SOLVO_STATUS_FAILED);
  EXPECT_THAT(point, ElementsAre(kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(plane, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(capture_.Texts(),
              ElementsAre("Plane and camera ray are parallel unable to find intersection."));
}

TEST_F(FitPlaneModelNearClick, FailsRatherThanReportNaNForATransformWithoutInverse) {
  // The bottom row is zero: points still project, but the camera centre cannot be found.
  Cloud floor = Floor();
  const SolvoCameraIntrinsics camera = Camera();
  const double singular[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
  const float touch[2] = {0.5f, 0.75f};
  double point[3] = {kSentinel, kSentinel, kSentinel};
  double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(floor.record(), &camera, singular,
                                                               touch, point, plane),
            SOLVO_STATUS_FAILED);
  EXPECT_THAT(point, ElementsAre(kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(plane, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
}

TEST_F(FitPlaneModelNearClick, ChecksEveryArgumentInOrderAndTouchesNoOutput) {
  Cloud floor = Floor();
  Cloud two = {{0, 0, 1}, {1, 0, 1}};
  const SolvoCameraIntrinsics camera = Camera();
  const float touch[2] = {0.5f, 0.75f};
  double point[3] = {kSentinel, kSentinel, kSentinel};
  double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  const SolvoXYZij* cloud = floor.record();
  const auto call = [&](const SolvoXYZij* c, const SolvoCameraIntrinsics* i, const double* m,
                        const float* uv, double* p, double* e) {
    EXPECT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(c, i, m, uv, p, e),
              SOLVO_STATUS_BAD_ARGUMENT);
  };
  call(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  call(two.record(), nullptr, nullptr, nullptr, nullptr, nullptr);
  call(cloud, nullptr, nullptr, nullptr, nullptr, nullptr);
  call(cloud, nullptr, nullptr, nullptr, point, nullptr);
  call(cloud, &camera, nullptr, nullptr, point, nullptr);
  call(cloud, &camera, kIdentity, nullptr, point, nullptr);
  call(cloud, &camera, kIdentity, nullptr, point, plane);
  // The pose variant: its own line for the pose, then the matrix variant's lines.
  SolvoPoseData pose{};
  pose.orientation[3] = 1.0;
  EXPECT_EQ(SolvoSupport_fitPlaneModelNearClick(cloud, &camera, nullptr, touch, point, plane),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_fitPlaneModelNearClick(cloud, nullptr, &pose, touch, point, plane),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(point, ElementsAre(kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(plane, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(capture_.Texts(),
              ElementsAre(Line(kNearClickMatrix, " point_cloud is nullptr."),
                          Line(kNearClickMatrix, " insufficient number of points (3 required)."),
                          Line(kNearClickMatrix, " intersection_point is nullptr."),
                          Line(kNearClickMatrix, " intrinsics is nullptr."),
                          Line(kNearClickMatrix, " color_camera_T_point_cloud_pointer is nullptr."),
                          Line(kNearClickMatrix, " plane_equation is nullptr."),
                          Line(kNearClickMatrix, " uv_coordinates is nullptr."),
                          Line(kNearClick, " color_camera_t1_T_depth_camera_t0 is nullptr."),
                          Line(kNearClickMatrix, " intrinsics is nullptr.")));
}

TEST_F(FitPlaneModelNearClick, LeavesTheOutputsWhenRansacFindsNoPlane) {
  // The points near the touch lie on one line: every sample is degenerate, and RANSAC writes no
  // line of its own.
  Cloud cloud = {{0, 0, 2}, {0.1f, 0, 2}, {0.2f, 0, 2}, {5, 5, 1}, {-5, 5, 1}};
  const SolvoCameraIntrinsics camera = Camera();
  const float touch[2] = {0.5f, 0.5f};
  double point[3] = {kSentinel, kSentinel, kSentinel};
  double plane[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(SolvoSupport_fitPlaneModelNearClickMatrixTransform(cloud.record(), &camera, kIdentity,
                                                               touch, point, plane),
            SOLVO_STATUS_FAILED);
  EXPECT_THAT(point, ElementsAre(kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(plane, ElementsAre(kSentinel, kSentinel, kSentinel, kSentinel));
  EXPECT_THAT(capture_.Texts(), IsEmpty());
}

}  // namespace
