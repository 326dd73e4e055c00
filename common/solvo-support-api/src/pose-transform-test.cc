// Pose records as transforms: layout, quaternion conventions, and which fields are read.
#include "pose-transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/vec3.hpp>
#include <limits>

#include "logging/log-capture.h"

namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Pointwise;

SolvoPoseData Pose(double x, double y, double z, double w, double tx = 0.0, double ty = 0.0,
                   double tz = 0.0) {
  SolvoPoseData pose{};
  const double orientation[4] = {x, y, z, w};
  const double translation[3] = {tx, ty, tz};
  std::memcpy(pose.orientation, orientation, sizeof orientation);
  std::memcpy(pose.translation, translation, sizeof translation);
  return pose;
}

std::vector<double> Elements(const glm::dmat4& transform) {
  const double* values = glm::value_ptr(transform);
  return std::vector<double>(values, values + 16);
}

TEST(TransformFromPoseData, PutsTheTranslationAtIndices12To14BesideAnIdentityBlock) {
  EXPECT_THAT(Elements(solvo_support_api::TransformFromPoseData(Pose(0, 0, 0, 1, 1, 2, 3))),
              ElementsAre(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1));
}

TEST(TransformFromPoseData, AHalfTurnAboutXNegatesYAndZ) {
  EXPECT_THAT(Elements(solvo_support_api::TransformFromPoseData(Pose(1, 0, 0, 0))),
              ElementsAre(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1));
}

TEST(TransformFromPoseData, AQuarterTurnAboutZCarriesXOntoY) {
  const glm::dmat4 transform =
      solvo_support_api::TransformFromPoseData(Pose(0, 0, 0.7071067811865476, 0.7071067811865476));
  const glm::dvec4 moved = transform * glm::dvec4(1, 0, 0, 1);
  EXPECT_NEAR(moved.x, 0.0, 1e-15);
  EXPECT_NEAR(moved.y, 1.0, 1e-15);
  EXPECT_NEAR(moved.z, 0.0, 1e-15);
}

TEST(TransformFromPoseData, RotatesThenTranslatesLikeTheQuaternionItself) {
  // An unsymmetric rotation catches a transposed block; GLM's own quaternion rotation is the
  // independent reference.
  const glm::dquat rotation = glm::normalize(glm::dquat(0.8, 0.1, -0.5, 0.3));  // w, x, y, z
  const glm::dmat4 transform = solvo_support_api::TransformFromPoseData(
      Pose(rotation.x, rotation.y, rotation.z, rotation.w, 0.5, -1.5, 2.0));
  const glm::dvec3 point(0.3, -0.7, 1.9);
  const glm::dvec3 expected = rotation * point + glm::dvec3(0.5, -1.5, 2.0);
  const glm::dvec4 moved = transform * glm::dvec4(point, 1.0);
  EXPECT_NEAR(moved.x, expected.x, 1e-14);
  EXPECT_NEAR(moved.y, expected.y, 1e-14);
  EXPECT_NEAR(moved.z, expected.z, 1e-14);
  EXPECT_EQ(moved.w, 1.0);
}

TEST(TransformFromPoseData, UsesAQuaternionAsGivenWithoutNormalisingOrComplaining) {
  logging::LogCapture capture;
  EXPECT_THAT(Elements(solvo_support_api::TransformFromPoseData(Pose(0, 0, 0, 2))),
              ElementsAre(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
  // Scaled by 2: a block that is no rotation, passed on as it is.
  EXPECT_THAT(Elements(solvo_support_api::TransformFromPoseData(
                  Pose(0, 0, 1.4142135623730951, 1.4142135623730951))),
              Pointwise(DoubleNear(1e-14),
                        std::vector<double>{-3, 4, 0, 0, -4, -3, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST(TransformFromPoseData, ReadsNothingButOrientationAndTranslation) {
  SolvoPoseData clean = Pose(0.1, 0.2, 0.3, 0.9, 4, 5, 6);
  SolvoPoseData dirty;
  std::memset(&dirty, 0xFF, sizeof dirty);  // NaN in every double
  std::memcpy(dirty.orientation, clean.orientation, sizeof clean.orientation);
  std::memcpy(dirty.translation, clean.translation, sizeof clean.translation);
  EXPECT_THAT(Elements(solvo_support_api::TransformFromPoseData(dirty)),
              ElementsAreArray(Elements(solvo_support_api::TransformFromPoseData(clean))));
}

}  // namespace
