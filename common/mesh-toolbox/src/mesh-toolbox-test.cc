// The simplifier's flags: registered in the shared registry with their types, defaults and help.
#include "mesh-toolbox/mesh-toolbox.h"

#include <gflags/gflags.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

void ExpectFlag(const char* name, const char* type, const char* value, const char* help) {
  gflags::CommandLineFlagInfo info;
  ASSERT_TRUE(gflags::GetCommandLineFlagInfo(name, &info)) << name;
  EXPECT_EQ(info.type, type) << name;
  // The registry prints doubles with 17 digits: compare them as numbers.
  if (info.type == "double") {
    EXPECT_EQ(std::stod(info.default_value), std::stod(value)) << name;
    EXPECT_EQ(std::stod(info.current_value), std::stod(value)) << name;
  } else {
    EXPECT_EQ(info.default_value, value) << name;
    EXPECT_EQ(info.current_value, value) << name;
  }
  EXPECT_EQ(info.description, help) << name;
  EXPECT_THAT(info.filename, ::testing::EndsWith("common/mesh-toolbox/src/mesh-toolbox.cc"));
}

TEST(MeshFlags, AreRegisteredWithTheirDefaults) {
  ExpectFlag("merge_vertices_k_neighbors", "int32", "32",
             "How many neighbor vertices to consider when merging close vertices.");
  ExpectFlag("max_mesh_angle_cos", "double", "0.999", "Maximum mesh face angle cosine.");
  ExpectFlag("mesh_edge_length_weight", "double", "0.1", "Edge length weight for quadric error.");
  ExpectFlag("mesh_max_angle_normal_weight", "double", "1000000",
             "Maximum face angle/normal weight.");
  ExpectFlag("min_mesh_normal_flip_cos", "double", "-0.999",
             "Minimum mesh face normal change cosine.");
}

TEST(MeshFlags, CanBeChangedThroughTheRegistry) {
  gflags::FlagSaver saver;
  EXPECT_FALSE(gflags::SetCommandLineOption("mesh_edge_length_weight", "0.25").empty());
  EXPECT_EQ(FLAGS_mesh_edge_length_weight, 0.25);
}

}  // namespace
