// Relative poses: argument checks, the five queries and their failures, rounding, and the chain
// against the simulated device of the client library stand-in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <cstring>
#include <functional>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "logging/log-capture.h"
#include "solvo_client_api_simulation.h"
#include "solvo_support_api.h"
#include "test-support/c-application-calls.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kSignature[] =
    "SolvoErrorType {anonymous}::SolvoInternalSupport_calculateRelativePose(double, "
    "SolvoCoordinateFrameType, double, SolvoCoordinateFrameType, SolvoPoseData*, SolvoErrorType "
    "(*)(double, SolvoCoordinateFramePair, SolvoPoseData*))";
constexpr char kQuerySignature[] =
    "SolvoErrorType {anonymous}::calculatePoseMatrix(SolvoCoordinateFrameType, "
    "SolvoCoordinateFrameType, double, SolvoErrorType (*)(double, SolvoCoordinateFramePair, "
    "SolvoPoseData*), glm::dmat4*)";
constexpr auto kSensor7 = SOLVO_FRAME_SENSOR_7;
constexpr auto kSensor8 = SOLVO_FRAME_SENSOR_8;
constexpr auto kSensor9 = SOLVO_FRAME_SENSOR_9;

using Query = std::tuple<double, int, int>;  // time stamp, base frame, target frame
using Answer = std::function<SolvoErrorType(double, int, int, SolvoPoseData*)>;

// The pose queries receive no context: the fake service lives in globals, reset per test.
std::vector<Query> queries;
Answer answer;

SolvoErrorType FakeService(double timestamp, SolvoCoordinateFramePair pair, SolvoPoseData* pose) {
  queries.emplace_back(timestamp, pair.base_frame, pair.target_frame);
  return answer(timestamp, pair.base_frame, pair.target_frame, pose);
}

void Write(const glm::dquat& rotation, const glm::dvec3& translation, SolvoPoseData* pose) {
  pose->orientation[0] = rotation.x;
  pose->orientation[1] = rotation.y;
  pose->orientation[2] = rotation.z;
  pose->orientation[3] = rotation.w;
  for (int k = 0; k < 3; ++k) pose->translation[k] = translation[k];
}

SolvoErrorType Identity(double, int, int, SolvoPoseData* pose) {
  Write(glm::dquat(1, 0, 0, 0), glm::dvec3(0.0), pose);
  return SOLVO_STATUS_OK;
}

// A different rigid pose for every pair and time, the same one whenever they are asked again.
SolvoErrorType Arbitrary(double timestamp, int base, int target, SolvoPoseData* pose) {
  const double seed = timestamp * 1.37 + base * 0.61 + target * 0.29;
  const glm::dquat rotation =
      glm::normalize(glm::dquat(std::cos(seed), std::sin(3 * seed), std::cos(5 * seed), 0.4));
  Write(rotation, glm::dvec3(std::sin(seed), 2 * std::cos(seed), -0.5 * seed), pose);
  return SOLVO_STATUS_OK;
}

class RelativePoseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queries.clear();
    answer = Identity;
    std::memset(&output_, 0xA5, sizeof output_);
    untouched_ = output_;
  }

  SolvoErrorType Calculate(double base_timestamp, SolvoCoordinateFrameType base_frame,
                           double target_timestamp, SolvoCoordinateFrameType target_frame) {
    return SolvoInternalSupport_calculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                                      target_frame, &output_, FakeService);
  }

  bool OutputUntouched() const { return std::memcmp(&output_, &untouched_, sizeof output_) == 0; }

  SolvoPoseData output_;
  SolvoPoseData untouched_;
};

TEST_F(RelativePoseTest, ChecksTheTargetFrameFirstThenTheBaseFrame) {
  logging::LogCapture capture;
  EXPECT_EQ(Calculate(0.0, static_cast<SolvoCoordinateFrameType>(6), 0.0,
                      static_cast<SolvoCoordinateFrameType>(3)),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(Calculate(-1.0, static_cast<SolvoCoordinateFrameType>(6), 0.0, kSensor7),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(Calculate(0.0, kSensor9, 0.0, SOLVO_FRAME_DEVICE), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(Calculate(0.0, SOLVO_FRAME_EXTRINSICS_REFERENCE, 0.0, kSensor8),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kSignature) + ": target frame not supported: 3",
                          std::string(kSignature) + ": base frame not supported: 6",
                          std::string(kSignature) + ": target frame not supported: 4",
                          std::string(kSignature) + ": base frame not supported: 5"));
  EXPECT_TRUE(OutputUntouched());
  EXPECT_THAT(queries, IsEmpty());
}

// C applications may pass any int as a frame, also one C++ cannot hold in the enumeration.
TEST_F(RelativePoseTest, RefusesAnyIntACApplicationPassesAsFrameWithOneLine) {
  logging::LogCapture capture;
  EXPECT_EQ(CallInternalCalculateRelativePose(0.0, 7, 0.0, -1, &output_, FakeService),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(CallInternalCalculateRelativePose(0.0, 1 << 20, 0.0, 8, &output_, FakeService),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(CallInternalCalculateRelativePose(0.0, 16, 0.0, 9, &output_, FakeService),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kSignature) + ": target frame not supported: -1",
                          std::string(kSignature) + ": base frame not supported: 1048576",
                          std::string(kSignature) + ": base frame not supported: 16"));
  EXPECT_TRUE(OutputUntouched());
  EXPECT_THAT(queries, IsEmpty());
}

TEST_F(RelativePoseTest, RefusesNegativeTimesAMissingOutputAndAMissingQueryInThatOrder) {
  logging::LogCapture capture;
  EXPECT_EQ(Calculate(-0.001, kSensor7, -1.0, kSensor8), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(Calculate(0.0, kSensor7, -0.001, kSensor8), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(
      SolvoInternalSupport_calculateRelativePose(0.0, kSensor7, 0.0, kSensor8, nullptr, nullptr),
      SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(
      SolvoInternalSupport_calculateRelativePose(0.0, kSensor7, 0.0, kSensor8, &output_, nullptr),
      SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kSignature) + ": base_timestamp was < 0.0",
                          std::string(kSignature) + ": target_timestamp was < 0.0",
                          std::string(kSignature) + ": base_frame_T_target_frame was null.",
                          std::string(kSignature) + ": pose_query was null."));
  EXPECT_TRUE(OutputUntouched());
  EXPECT_THAT(queries, IsEmpty());
}

TEST_F(RelativePoseTest, AcceptsTimeZeroAndNaNTimes) {
  logging::LogCapture capture;
  EXPECT_EQ(Calculate(0.0, kSensor7, 0.0, kSensor7), SOLVO_STATUS_OK);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Calculate(nan, kSensor7, nan, kSensor7), SOLVO_STATUS_OK);
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST_F(RelativePoseTest, AsksTheFiveTransformsInOrderAndExtrinsicsAtTimeZero) {
  ASSERT_EQ(Calculate(1.5, kSensor7, 2.5, kSensor9), SOLVO_STATUS_OK);
  EXPECT_THAT(queries, ElementsAre(Query{0.0, 5, 7}, Query{0.0, 5, 4}, Query{1.5, 2, 4},
                                   Query{2.5, 2, 4}, Query{0.0, 5, 9}));
}

TEST_F(RelativePoseTest, IdentityPosesGiveTheIdentityAndWriteOnlyTheirFields) {
  ASSERT_EQ(Calculate(1.5, kSensor7, 2.5, kSensor9), SOLVO_STATUS_OK);
  EXPECT_EQ(output_.timestamp, 0.0);
  EXPECT_THAT(output_.orientation, ElementsAre(0, 0, 0, 1));
  EXPECT_THAT(output_.translation, ElementsAre(0, 0, 0));
  EXPECT_EQ(output_.frames.base_frame, kSensor7);
  EXPECT_EQ(output_.frames.target_frame, kSensor9);
  EXPECT_EQ(std::memcmp(output_.service_words, untouched_.service_words, 8), 0);
  EXPECT_EQ(output_.service_status, untouched_.service_status);
  EXPECT_EQ(std::memcmp(output_.service_tail, untouched_.service_tail, 12), 0);
}

TEST_F(RelativePoseTest, AFailedQueryEndsTheCallWithOneLineNamingItsPair) {
  // Each of the five queries fails in turn; its status, whatever it is, becomes FAILED.
  const Query failing[] = {{0.0, 5, 8}, {0.0, 5, 4}, {1.0, 2, 4}, {2.0, 2, 4}, {0.0, 5, 9}};
  for (size_t position = 0; position < 5; ++position) {
    SetUp();
    answer = [&](double timestamp, int base, int target, SolvoPoseData* pose) {
      if (Query{timestamp, base, target} == failing[position]) return SOLVO_STATUS_BAD_ARGUMENT;
      return Identity(timestamp, base, target, pose);
    };
    logging::LogCapture capture;
    EXPECT_EQ(Calculate(1.0, kSensor8, 2.0, kSensor9), SOLVO_STATUS_FAILED);
    EXPECT_EQ(queries.size(), position + 1);
    EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kQuerySignature) +
                                             ": could not calculate pose data for frame pair:" +
                                             std::to_string(std::get<1>(failing[position])) + ", " +
                                             std::to_string(std::get<2>(failing[position]))));
    EXPECT_TRUE(OutputUntouched());
  }
}

TEST_F(RelativePoseTest, TheSameFrameAtTheSameTimeIsTheIdentityWhateverThePoses) {
  answer = Arbitrary;
  ASSERT_EQ(Calculate(3.25, kSensor8, 3.25, kSensor8), SOLVO_STATUS_OK);
  EXPECT_NEAR(output_.orientation[0], 0.0, 1e-7);
  EXPECT_NEAR(output_.orientation[1], 0.0, 1e-7);
  EXPECT_NEAR(output_.orientation[2], 0.0, 1e-7);
  EXPECT_NEAR(std::abs(output_.orientation[3]), 1.0, 1e-7);
  for (double component : output_.translation) EXPECT_NEAR(component, 0.0, 1e-6);
}

TEST_F(RelativePoseTest, TwoSensorsAtOneTimeDifferOnlyByTheirExtrinsics) {
  answer = Arbitrary;
  ASSERT_EQ(Calculate(0.75, kSensor7, 0.75, kSensor9), SOLVO_STATUS_OK);
  SolvoPoseData pose7{}, pose9{};
  Arbitrary(0.0, 5, 7, &pose7);
  Arbitrary(0.0, 5, 9, &pose9);
  const glm::dquat q7(pose7.orientation[3], pose7.orientation[0], pose7.orientation[1],
                      pose7.orientation[2]);
  const glm::dquat q9(pose9.orientation[3], pose9.orientation[0], pose9.orientation[1],
                      pose9.orientation[2]);
  const glm::dvec3 t7(pose7.translation[0], pose7.translation[1], pose7.translation[2]);
  const glm::dvec3 t9(pose9.translation[0], pose9.translation[1], pose9.translation[2]);
  glm::dquat expected_rotation = glm::inverse(q7) * q9;
  if (expected_rotation.w * output_.orientation[3] < 0) expected_rotation = -expected_rotation;
  const glm::dvec3 expected_translation = glm::inverse(q7) * (t9 - t7);
  EXPECT_NEAR(output_.orientation[0], expected_rotation.x, 1e-7);
  EXPECT_NEAR(output_.orientation[1], expected_rotation.y, 1e-7);
  EXPECT_NEAR(output_.orientation[2], expected_rotation.z, 1e-7);
  EXPECT_NEAR(output_.orientation[3], expected_rotation.w, 1e-7);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(output_.translation[k], expected_translation[k], 1e-6);
}

TEST_F(RelativePoseTest, RoundsTheResultToSinglePrecision) {
  // Only the device moves: a tenth of a metre along x and a quarter turn about z.
  answer = [](double timestamp, int base, int target, SolvoPoseData* pose) {
    if (timestamp == 2.0 && base == 2 && target == 4) {
      Write(glm::dquat(0.7071067811865476, 0, 0, 0.7071067811865476), glm::dvec3(0.1, 0, 0), pose);
      return SOLVO_STATUS_OK;
    }
    return Identity(timestamp, base, target, pose);
  };
  ASSERT_EQ(Calculate(1.0, kSensor7, 2.0, kSensor7), SOLVO_STATUS_OK);
  EXPECT_EQ(output_.translation[0], 0.10000000149011612);
  EXPECT_EQ(output_.orientation[2], 0.70710676908493042);
  EXPECT_EQ(output_.orientation[3], 0.70710676908493042);
}

// The stand-in's simulated device, and the pose sources a host program may install instead.
class SimulatedDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { SolvoSimulation_setPoseSource(nullptr); }
  void TearDown() override { SolvoSimulation_setPoseSource(nullptr); }

  static Eigen::Isometry3d Ask(double timestamp, SolvoCoordinateFrameType base,
                               SolvoCoordinateFrameType target) {
    SolvoPoseData pose{};
    EXPECT_EQ(SolvoService_getPoseAtTime(timestamp, {base, target}, &pose), SOLVO_STATUS_OK);
    return ToIsometry(pose);
  }

  static Eigen::Isometry3d ToIsometry(const SolvoPoseData& pose) {
    const Eigen::Quaterniond rotation(pose.orientation[3], pose.orientation[0], pose.orientation[1],
                                      pose.orientation[2]);
    Eigen::Isometry3d transform = Eigen::Isometry3d::Identity();
    transform.linear() = rotation.toRotationMatrix();
    transform.translation() << pose.translation[0], pose.translation[1], pose.translation[2];
    return transform;
  }
};

TEST_F(SimulatedDeviceTest, ASensorAcrossTwoTimesSeesTheDeviceMotionThroughItsExtrinsics) {
  SolvoPoseData result{};
  ASSERT_EQ(SolvoSupport_calculateRelativePose(3.0, kSensor7, 4.5, kSensor7, &result),
            SOLVO_STATUS_OK);
  EXPECT_EQ(result.frames.base_frame, kSensor7);
  EXPECT_EQ(result.frames.target_frame, kSensor7);

  const Eigen::Isometry3d device_motion =
      Ask(3.0, SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE).inverse(Eigen::Isometry) *
      Ask(4.5, SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE);
  const Eigen::Isometry3d device_T_sensor =
      Ask(0.0, SOLVO_FRAME_EXTRINSICS_REFERENCE, SOLVO_FRAME_DEVICE).inverse(Eigen::Isometry) *
      Ask(0.0, SOLVO_FRAME_EXTRINSICS_REFERENCE, kSensor7);
  const Eigen::Isometry3d expected =
      device_T_sensor.inverse(Eigen::Isometry) * device_motion * device_T_sensor;

  const Eigen::Isometry3d found = ToIsometry(result);
  EXPECT_TRUE(found.matrix().isApprox(expected.matrix(), 1e-6)) << "found\n"
                                                                << found.matrix() << "\nexpected\n"
                                                                << expected.matrix();
  // The device did move: a turn of more than a few degrees and some centimetres.
  EXPECT_GT(Eigen::AngleAxisd(expected.linear()).angle(), 0.1);
  EXPECT_GT(expected.translation().norm(), 0.05);
}

TEST_F(SimulatedDeviceTest, AnswersItsFramesAtAnyTimeAndFailsEverythingElse) {
  SolvoPoseData pose{};
  for (auto target : {SOLVO_FRAME_DEVICE, kSensor7, kSensor8, kSensor9}) {
    const Eigen::Isometry3d at_zero = Ask(0.0, SOLVO_FRAME_EXTRINSICS_REFERENCE, target);
    EXPECT_TRUE(at_zero.isApprox(Ask(250.0, SOLVO_FRAME_EXTRINSICS_REFERENCE, target)));
    EXPECT_NEAR(Eigen::Quaterniond(at_zero.linear()).norm(), 1.0, 1e-12);
    EXPECT_EQ(SolvoService_getPoseAtTime(-0.5, {SOLVO_FRAME_EXTRINSICS_REFERENCE, target}, &pose),
              SOLVO_STATUS_FAILED);
  }
  // Smooth: a millisecond moves the device by millimetres at most.
  const Eigen::Isometry3d now = Ask(10.0, SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE);
  const Eigen::Isometry3d soon = Ask(10.001, SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE);
  EXPECT_LT((soon.translation() - now.translation()).norm(), 1e-3);
  EXPECT_LT(Eigen::AngleAxisd(now.linear().transpose() * soon.linear()).angle(), 1e-3);
  EXPECT_FALSE(now.isApprox(Ask(11.0, SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE)));

  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(
      SolvoService_getPoseAtTime(-0.5, {SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE}, &pose),
      SOLVO_STATUS_FAILED);
  EXPECT_EQ(
      SolvoService_getPoseAtTime(nan, {SOLVO_FRAME_TRACKING_ORIGIN, SOLVO_FRAME_DEVICE}, &pose),
      SOLVO_STATUS_FAILED);
  EXPECT_EQ(
      SolvoService_getPoseAtTime(1.0, {SOLVO_FRAME_DEVICE, SOLVO_FRAME_TRACKING_ORIGIN}, &pose),
      SOLVO_STATUS_FAILED);
  EXPECT_EQ(SolvoService_getPoseAtTime(1.0, {SOLVO_FRAME_TRACKING_ORIGIN, kSensor7}, &pose),
            SOLVO_STATUS_FAILED);
  EXPECT_EQ(SolvoService_getPoseAtTime(1.0, {kSensor7, SOLVO_FRAME_EXTRINSICS_REFERENCE}, &pose),
            SOLVO_STATUS_FAILED);
}

TEST_F(SimulatedDeviceTest, RefusesAnyIntACApplicationPassesAsFrameWithOneLine) {
  SolvoPoseData pose{};
  logging::LogCapture capture;
  EXPECT_EQ(CallCalculateRelativePose(0.0, 7, 0.0, -1, &pose), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(CallCalculateRelativePose(0.0, 1 << 20, 0.0, 8, &pose), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kSignature) + ": target frame not supported: -1",
                          std::string(kSignature) + ": base frame not supported: 1048576"));
}

TEST_F(SimulatedDeviceTest, AnInstalledSourceAnswersUntilTheDeviceIsRestored) {
  queries.clear();
  answer = [](double timestamp, int base, int target, SolvoPoseData* pose) {
    if (base == 2 && timestamp == 2.0) return SOLVO_STATUS_FAILED;
    return Identity(timestamp, base, target, pose);
  };
  EXPECT_EQ(SolvoSimulation_setPoseSource(FakeService), nullptr);
  SolvoPoseData result{};
  EXPECT_EQ(SolvoSupport_calculateRelativePose(1.0, kSensor9, 1.5, kSensor8, &result),
            SOLVO_STATUS_OK);
  EXPECT_EQ(queries.size(), 5u);
  EXPECT_THAT(result.orientation, ElementsAre(0, 0, 0, 1));
  EXPECT_EQ(SolvoSupport_calculateRelativePose(1.0, kSensor9, 2.0, kSensor8, &result),
            SOLVO_STATUS_FAILED);
  EXPECT_EQ(queries.size(), 9u);

  EXPECT_EQ(SolvoSimulation_setPoseSource(nullptr), FakeService);
  EXPECT_EQ(SolvoSupport_calculateRelativePose(1.0, kSensor9, 2.0, kSensor8, &result),
            SOLVO_STATUS_OK);
  EXPECT_EQ(queries.size(), 9u);
  EXPECT_NE(result.orientation[3], 1.0);
}

}  // namespace
