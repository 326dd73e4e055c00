// World-to-camera poses in the two conventions: values, meaning, refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

#include "logging/log-capture.h"
#include "solvo_support_api.h"
#include "test-support/c-application-calls.h"

namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kSignature[] =
    "SolvoErrorType {anonymous}::SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention, "
    "const SolvoPoseData*, double*, double*)";
constexpr double kHalfSqrt2 = 0.70710678118654757;

class WorldTCameraPoseTest : public ::testing::Test {
 protected:
  WorldTCameraPoseTest() {
    pose_.orientation[3] = 1.0;
    pose_.translation[0] = 1.0;
    pose_.translation[1] = 2.0;
    pose_.translation[2] = 3.0;
  }

  // Carries `point` by the written translation and orientation.
  glm::dvec3 Apply(const glm::dvec3& point) const {
    const glm::dquat rotation(orientation_[3], orientation_[0], orientation_[1], orientation_[2]);
    return rotation * point + glm::dvec3(translation_[0], translation_[1], translation_[2]);
  }

  SolvoPoseData pose_{};
  double translation_[3] = {7, 7, 7};
  double orientation_[4] = {7, 7, 7, 7};
};

TEST_F(WorldTCameraPoseTest, RightHandedYUpTurnsTheZUpWorldAQuarterAboutX) {
  ASSERT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, &pose_,
                                             translation_, orientation_),
            SOLVO_STATUS_OK);
  EXPECT_THAT(translation_, ElementsAre(1, 3, -2));
  EXPECT_THAT(orientation_,
              ElementsAre(DoubleNear(-kHalfSqrt2, 1e-15), 0, 0, DoubleNear(kHalfSqrt2, 1e-15)));
}

TEST_F(WorldTCameraPoseTest, LeftHandedYUpSwapsYAndZAndFlipsTheCameraIntoARotation) {
  ASSERT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_LEFT_HANDED_Y_UP, &pose_,
                                             translation_, orientation_),
            SOLVO_STATUS_OK);
  EXPECT_THAT(translation_, ElementsAre(1, 3, 2));
  EXPECT_THAT(orientation_,
              ElementsAre(DoubleNear(kHalfSqrt2, 1e-15), 0, 0, DoubleNear(kHalfSqrt2, 1e-15)));
}

TEST_F(WorldTCameraPoseTest, BothConventionsCarryCameraPointsToTheirWorldAxes) {
  const glm::dquat rotation = glm::normalize(glm::dquat(0.9, -0.2, 0.3, 0.25));  // w, x, y, z
  pose_.orientation[0] = rotation.x;
  pose_.orientation[1] = rotation.y;
  pose_.orientation[2] = rotation.z;
  pose_.orientation[3] = rotation.w;
  const glm::dvec3 point(0.4, -1.1, 2.3);
  const glm::dvec3 in_base = rotation * point + glm::dvec3(1, 2, 3);

  ASSERT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, &pose_,
                                             translation_, orientation_),
            SOLVO_STATUS_OK);
  glm::dvec3 in_world = Apply(point);
  EXPECT_NEAR(in_world.x, in_base.x, 1e-14);
  EXPECT_NEAR(in_world.y, in_base.z, 1e-14);
  EXPECT_NEAR(in_world.z, -in_base.y, 1e-14);

  // The left-handed camera looks along its own -z.
  ASSERT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_LEFT_HANDED_Y_UP, &pose_,
                                             translation_, orientation_),
            SOLVO_STATUS_OK);
  const glm::dvec3 left_handed_point(point.x, point.y, -point.z);
  in_world = Apply(left_handed_point);
  EXPECT_NEAR(in_world.x, in_base.x, 1e-14);
  EXPECT_NEAR(in_world.y, in_base.z, 1e-14);
  EXPECT_NEAR(in_world.z, in_base.y, 1e-14);
}

TEST_F(WorldTCameraPoseTest, RefusesAnUnknownConventionSilently) {
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_getWorldTCameraPose(static_cast<SolvoCoordinateConvention>(2), &pose_,
                                             translation_, orientation_),
            SOLVO_STATUS_FAILED);
  EXPECT_THAT(translation_, ElementsAre(7, 7, 7));
  EXPECT_THAT(orientation_, ElementsAre(7, 7, 7, 7));
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

// C applications may pass any int; the library must not load it as the enumeration, whose values
// C++ limits to 0 and 1 (the undefined behaviour sanitizer ends the process on such a load).
TEST_F(WorldTCameraPoseTest, RefusesAnyIntACApplicationPassesAsConventionSilently) {
  logging::LogCapture capture;
  for (const int convention : {-1, 2, 3, 255, 1 << 30}) {
    EXPECT_EQ(CallGetWorldTCameraPose(convention, &pose_, translation_, orientation_),
              SOLVO_STATUS_FAILED)
        << convention;
  }
  EXPECT_THAT(translation_, ElementsAre(7, 7, 7));
  EXPECT_THAT(orientation_, ElementsAre(7, 7, 7, 7));
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST_F(WorldTCameraPoseTest, RefusesNullPointersInOrderWithOneLineEach) {
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, nullptr, nullptr,
                                             nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, nullptr,
                                             translation_, nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, nullptr,
                                             translation_, orientation_),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kSignature) + " translation is nullptr.",
                                           std::string(kSignature) + " orientation is nullptr.",
                                           std::string(kSignature) + " pose is nullptr."));
  EXPECT_THAT(translation_, ElementsAre(7, 7, 7));
  EXPECT_THAT(orientation_, ElementsAre(7, 7, 7, 7));
}

}  // namespace
