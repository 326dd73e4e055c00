// Tuning flags set and read by name: the seven names only, the flags library's parsing, values
// the library cannot use, the printed value and its room, and a fixed seed that replays RANSAC.
#include <gflags/gflags.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "generic/random_generator_provider.h"
#include "logging/log-capture.h"
#include "mesh-toolbox/mesh-toolbox.h"
#include "solvo_support_api.h"

namespace {

using ::testing::ElementsAre;

constexpr char kSet[] = "SolvoErrorType SolvoSupport_setTuningFlag(const char*, const char*)";
constexpr char kGet[] = "SolvoErrorType SolvoSupport_getTuningFlag(const char*, char*, size_t)";

std::string Get(const char* name) {
  char value[32] = "";
  EXPECT_EQ(SolvoSupport_getTuningFlag(name, value, sizeof value), SOLVO_STATUS_OK) << name;
  return value;
}

TEST(TuningFlags, SetsEachOfTheSevenFlagsAndPrintsItsValue) {
  gflags::FlagSaver saver;
  const std::vector<std::pair<const char*, const char*>> settings = {
      {"random_generator_use_random_seed", "no"}, {"random_generator_seed", "0x10"},
      {"merge_vertices_k_neighbors", "-7"},       {"max_mesh_angle_cos", "0.5"},
      {"mesh_edge_length_weight", "-2.5"},        {"mesh_max_angle_normal_weight", "0"},
      {"min_mesh_normal_flip_cos", "-1e-3"}};
  for (const auto& [name, value] : settings) {
    EXPECT_EQ(SolvoSupport_setTuningFlag(name, value), SOLVO_STATUS_OK) << name;
  }
  EXPECT_FALSE(FLAGS_random_generator_use_random_seed);
  EXPECT_EQ(FLAGS_random_generator_seed, 16);
  EXPECT_EQ(FLAGS_merge_vertices_k_neighbors, -7);
  EXPECT_EQ(FLAGS_max_mesh_angle_cos, 0.5);
  EXPECT_EQ(FLAGS_mesh_edge_length_weight, -2.5);
  EXPECT_EQ(FLAGS_mesh_max_angle_normal_weight, 0.0);
  EXPECT_EQ(FLAGS_min_mesh_normal_flip_cos, -1e-3);
  EXPECT_EQ(Get("random_generator_use_random_seed"), "false");
  EXPECT_EQ(Get("random_generator_seed"), "16");
  EXPECT_EQ(Get("min_mesh_normal_flip_cos"), "-0.001");
}

TEST(TuningFlags, PrintTheDefaultsAsTheFlagsLibraryDoes) {
  EXPECT_EQ(Get("random_generator_use_random_seed"), "true");
  EXPECT_EQ(Get("random_generator_seed"), "1");
  EXPECT_EQ(Get("merge_vertices_k_neighbors"), "32");
  EXPECT_EQ(Get("max_mesh_angle_cos"), "0.999");
  EXPECT_EQ(Get("mesh_edge_length_weight"), "0.10000000000000001");
  EXPECT_EQ(Get("mesh_max_angle_normal_weight"), "1000000");
  EXPECT_EQ(Get("min_mesh_normal_flip_cos"), "-0.999");
}

TEST(TuningFlags, RefuseNullArgumentsInOrderWithOneLineEach) {
  logging::LogCapture capture;
  char value[32] = "untouched";
  EXPECT_EQ(SolvoSupport_setTuningFlag(nullptr, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_setTuningFlag("random_generator_seed", nullptr),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getTuningFlag(nullptr, nullptr, 0), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getTuningFlag("random_generator_seed", nullptr, 32),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kSet) + " name is nullptr.",
                                           std::string(kSet) + " value is nullptr.",
                                           std::string(kGet) + " name is nullptr.",
                                           std::string(kGet) + " value is nullptr."));
  EXPECT_STREQ(value, "untouched");
}

TEST(TuningFlags, KnowOnlyTheLibrarysSevenNames) {
  logging::LogCapture capture;
  char value[32] = "untouched";
  // flagfile would read a file, and end the process when it cannot.
  EXPECT_EQ(SolvoSupport_setTuningFlag("flagfile", "/nonexistent"), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_setTuningFlag("RANDOM_GENERATOR_SEED", "2"), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_getTuningFlag("tryfromenv", value, sizeof value),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kSet) + " no tuning flag is named 'flagfile'.",
                          std::string(kSet) + " no tuning flag is named 'RANDOM_GENERATOR_SEED'.",
                          std::string(kGet) + " no tuning flag is named 'tryfromenv'."));
  EXPECT_STREQ(value, "untouched");
  EXPECT_EQ(FLAGS_random_generator_seed, 1);
}

TEST(TuningFlags, RefuseValuesTheFlagsTypeDoesNotAcceptAndKeepTheFlag) {
  gflags::FlagSaver saver;
  logging::LogCapture capture;
  EXPECT_EQ(SolvoSupport_setTuningFlag("random_generator_seed", "1.5"), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_setTuningFlag("random_generator_seed", "2147483648"),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_setTuningFlag("random_generator_use_random_seed", "maybe"),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_setTuningFlag("max_mesh_angle_cos", "0.9 "), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_setTuningFlag("mesh_edge_length_weight", ""), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(
      capture.Texts(),
      ElementsAre(
          std::string(kSet) + " '1.5' is not a valid value of random_generator_seed.",
          std::string(kSet) + " '2147483648' is not a valid value of random_generator_seed.",
          std::string(kSet) + " 'maybe' is not a valid value of random_generator_use_random_seed.",
          std::string(kSet) + " '0.9 ' is not a valid value of max_mesh_angle_cos.",
          std::string(kSet) + " '' is not a valid value of mesh_edge_length_weight."));
  EXPECT_EQ(FLAGS_random_generator_seed, 1);
  EXPECT_TRUE(FLAGS_random_generator_use_random_seed);
  EXPECT_EQ(FLAGS_max_mesh_angle_cos, 0.999);
  EXPECT_EQ(FLAGS_mesh_edge_length_weight, 0.1);
}

// The simplifier would end the process on a negative or NaN shape weight, and could not order
// NaN costs; NaN cosines would turn its shape tests off.
TEST(TuningFlags, RefuseNumbersTheSimplifierCannotUseAndKeepTheFlag) {
  gflags::FlagSaver saver;
  const std::vector<std::pair<const char*, const char*>> refused = {
      {"mesh_max_angle_normal_weight", "-1"},  {"mesh_max_angle_normal_weight", "-1e-300"},
      {"mesh_max_angle_normal_weight", "nan"}, {"mesh_edge_length_weight", "inf"},
      {"mesh_edge_length_weight", "-inf"},     {"mesh_edge_length_weight", "nan"},
      {"max_mesh_angle_cos", "nan"},           {"min_mesh_normal_flip_cos", "-nan"}};
  for (const auto& [name, value] : refused) {
    EXPECT_EQ(SolvoSupport_setTuningFlag(name, value), SOLVO_STATUS_BAD_ARGUMENT)
        << name << " " << value;
    EXPECT_EQ(std::string(SolvoSupport_getLastErrorText()),
              std::string(kSet) + " '" + value + "' is not a valid value of " + name + ".");
  }
  EXPECT_EQ(FLAGS_mesh_max_angle_normal_weight, 1000000.0);
  EXPECT_EQ(FLAGS_mesh_edge_length_weight, 0.1);
  EXPECT_EQ(FLAGS_max_mesh_angle_cos, 0.999);
  EXPECT_EQ(FLAGS_min_mesh_normal_flip_cos, -0.999);
  EXPECT_EQ(SolvoSupport_setTuningFlag("mesh_max_angle_normal_weight", "inf"), SOLVO_STATUS_OK);
  EXPECT_EQ(SolvoSupport_setTuningFlag("max_mesh_angle_cos", "-inf"), SOLVO_STATUS_OK);
}

TEST(TuningFlags, GetNeedsRoomForTheTextAndItsZero) {
  logging::LogCapture capture;
  char value[8];
  std::memset(value, 'x', sizeof value);
  // "1000000" and its zero: 8 characters.
  EXPECT_EQ(SolvoSupport_getTuningFlag("mesh_max_angle_normal_weight", value, 7),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(std::string(value, sizeof value), std::string(8, 'x'));
  EXPECT_EQ(SolvoSupport_getTuningFlag("mesh_max_angle_normal_weight", value, 8), SOLVO_STATUS_OK);
  EXPECT_STREQ(value, "1000000");
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kGet) + " value_size is too small (8 needed)."));
}

// Ten points near a plane, off it by different amounts: each sample of three spans another plane,
// and with a tiny threshold its inliers are the sample alone.
SolvoXYZij NoisyCloud(float (*points)[3]) {
  for (int i = 0; i < 10; ++i) {
    points[i][0] = static_cast<float>(i % 4);
    points[i][1] = static_cast<float>(i / 4);
    points[i][2] = 0.001f * static_cast<float>((i * 7) % 5);
  }
  SolvoXYZij cloud{};
  cloud.xyz = points;
  cloud.point_count = 10;
  return cloud;
}

std::vector<double> SamplePlane(const SolvoXYZij& cloud) {
  std::vector<double> plane(4);
  EXPECT_EQ(
      SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&cloud, 5, 1e-6, 1.0, 0.0, plane.data()),
      SOLVO_STATUS_OK);
  return plane;
}

TEST(TuningFlags, AFixedSeedSetByNameReplaysRansacAndAnotherSeedDrawsOtherPoints) {
  gflags::FlagSaver saver;
  float points[10][3];
  const SolvoXYZij cloud = NoisyCloud(points);
  ASSERT_EQ(SolvoSupport_setTuningFlag("random_generator_use_random_seed", "false"),
            SOLVO_STATUS_OK);
  ASSERT_EQ(SolvoSupport_setTuningFlag("random_generator_seed", "1"), SOLVO_STATUS_OK);
  const std::vector<double> first = SamplePlane(cloud);
  EXPECT_EQ(SamplePlane(cloud), first);
  ASSERT_EQ(SolvoSupport_setTuningFlag("random_generator_seed", "123456789"), SOLVO_STATUS_OK);
  EXPECT_NE(SamplePlane(cloud), first);
}

}  // namespace
