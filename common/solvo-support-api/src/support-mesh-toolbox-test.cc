// Mesh records at the boundary: create, initialise, copy and free, and their error lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "logging/log-capture.h"
#include "solvo_support_api.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kCopySignature[] =
    "SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental*, "
    "SolvoMesh_Experimental*)";

// A record as the service might hand it over: two triangles with normals and colours.
struct ServiceMesh {
  float vertices[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  uint32_t faces[2][3] = {{0, 1, 2}, {2, 1, 3}};
  float normals[4][3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  uint8_t colors[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
  SolvoMesh_Experimental record{};

  ServiceMesh() {
    record.tag[0] = 7;
    record.tag[1] = 8;
    record.tag[2] = 9;
    record.vertices = vertices;
    record.faces = faces;
    record.normals = normals;
    record.colors = colors;
    record.num_vertices = 4;
    record.num_faces = 2;
    record.has_normals = true;
    record.has_colors = true;
  }
};

bool IsEmptyRecord(const SolvoMesh_Experimental& mesh) {
  return mesh.tag[0] == 0 && mesh.tag[1] == 0 && mesh.tag[2] == 0 && mesh.vertices == nullptr &&
         mesh.faces == nullptr && mesh.normals == nullptr && mesh.colors == nullptr &&
         mesh.num_vertices == 0 && mesh.num_faces == 0 && !mesh.has_normals && !mesh.has_colors;
}

TEST(MeshRecords, RefuseANullRecordWithOneLineEach) {
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  SolvoMesh_Experimental mesh{};
  EXPECT_EQ(SolvoSupport_createMesh(1, 1, true, true, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_initializeEmptyMesh(nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_freeMesh(nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_copyMesh(nullptr, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_copyMesh(&mesh, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(
      capture.Texts(),
      ElementsAre("SolvoErrorType SolvoSupport_createMesh(uint32_t, uint32_t, bool, bool, "
                  "SolvoMesh_Experimental*) mesh is nullptr.",
                  "SolvoErrorType SolvoSupport_initializeEmptyMesh(SolvoMesh_Experimental*) mesh "
                  "is nullptr.",
                  "SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental*) mesh is nullptr.",
                  std::string(kCopySignature) + " input_mesh is nullptr.",
                  std::string(kCopySignature) + " output_mesh is nullptr."));
}

TEST(CreateMesh, AllocatesOnlyTheArraysTheCountsCallFor) {
  ServiceMesh dirty;
  SolvoMesh_Experimental mesh = dirty.record;
  ASSERT_EQ(SolvoSupport_createMesh(0, 5, true, false, &mesh), SOLVO_STATUS_OK);
  EXPECT_NE(mesh.faces, nullptr);
  EXPECT_EQ(mesh.vertices, nullptr);
  EXPECT_EQ(mesh.normals, nullptr);
  EXPECT_EQ(mesh.colors, nullptr);
  EXPECT_TRUE(mesh.has_normals);
  EXPECT_FALSE(mesh.has_colors);
  EXPECT_EQ(mesh.num_faces, 5u);
  EXPECT_THAT(mesh.tag, ElementsAre(0u, 0u, 0u));
  mesh.faces[4][2] = 1;  // the whole room is usable (checked by the sanitizer run)
  EXPECT_EQ(SolvoSupport_freeMesh(&mesh), SOLVO_STATUS_OK);

  ASSERT_EQ(SolvoSupport_createMesh(3, 0, true, true, &mesh), SOLVO_STATUS_OK);
  EXPECT_EQ(mesh.faces, nullptr);
  mesh.vertices[2][2] = 1;
  mesh.normals[2][2] = 1;
  mesh.colors[2][3] = 1;
  SolvoSupport_freeMesh(&mesh);
}

TEST(CreateMesh, RefusesCountsWhoseByteSizeOverflows) {
  if (sizeof(size_t) > 4) GTEST_SKIP() << "uint32_t counts always fit in a 64-bit size_t";
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  SolvoMesh_Experimental mesh{};
  const uint32_t too_many = std::numeric_limits<uint32_t>::max() / 4;
  EXPECT_EQ(SolvoSupport_createMesh(too_many, 1, false, false, &mesh), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_createMesh(1, too_many, false, false, &mesh), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_TRUE(IsEmptyRecord(mesh));
  EXPECT_THAT(capture.Texts(), ElementsAre(::testing::EndsWith(") num_vertices is too large."),
                                           ::testing::EndsWith(") num_faces is too large.")));
}

TEST(InitializeEmptyMesh, ForgetsTheArraysWithoutReleasingThem) {
  SolvoMesh_Experimental mesh{};
  ASSERT_EQ(SolvoSupport_createMesh(2, 2, true, true, &mesh), SOLVO_STATUS_OK);
  mesh.tag[1] = 3;
  const SolvoMesh_Experimental owned = mesh;
  ASSERT_EQ(SolvoSupport_initializeEmptyMesh(&mesh), SOLVO_STATUS_OK);
  EXPECT_TRUE(IsEmptyRecord(mesh));
  owned.vertices[1][2] = 5;  // still allocated
  SolvoMesh_Experimental release = owned;
  SolvoSupport_freeMesh(&release);
}

TEST(FreeMesh, EmptiesTheRecordAndIsHarmlessTwice) {
  SolvoMesh_Experimental mesh{};
  ASSERT_EQ(SolvoSupport_createMesh(2, 2, true, true, &mesh), SOLVO_STATUS_OK);
  EXPECT_EQ(SolvoSupport_freeMesh(&mesh), SOLVO_STATUS_OK);
  EXPECT_TRUE(IsEmptyRecord(mesh));
  EXPECT_EQ(SolvoSupport_freeMesh(&mesh), SOLVO_STATUS_OK);
  EXPECT_TRUE(IsEmptyRecord(mesh));
}

TEST(CopyMesh, MakesADeepCopyWithTheTag) {
  ServiceMesh input;
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_copyMesh(&input.record, &output), SOLVO_STATUS_OK);
  EXPECT_THAT(output.tag, ElementsAre(7u, 8u, 9u));
  EXPECT_EQ(output.num_vertices, 4u);
  EXPECT_EQ(output.num_faces, 2u);
  EXPECT_TRUE(output.has_normals && output.has_colors);
  EXPECT_NE(output.vertices, input.record.vertices);
  EXPECT_EQ(std::memcmp(output.vertices, input.vertices, sizeof(input.vertices)), 0);
  EXPECT_EQ(std::memcmp(output.faces, input.faces, sizeof(input.faces)), 0);
  EXPECT_EQ(std::memcmp(output.normals, input.normals, sizeof(input.normals)), 0);
  EXPECT_EQ(std::memcmp(output.colors, input.colors, sizeof(input.colors)), 0);
  SolvoSupport_freeMesh(&output);
}

TEST(CopyMesh, OfAnEmptyRecordIsEmptyButKeepsTheTag) {
  SolvoMesh_Experimental input{};
  input.tag[2] = 42;
  SolvoMesh_Experimental output = ServiceMesh().record;
  ASSERT_EQ(SolvoSupport_copyMesh(&input, &output), SOLVO_STATUS_OK);
  EXPECT_THAT(output.tag, ElementsAre(0u, 0u, 42u));
  output.tag[2] = 0;
  EXPECT_TRUE(IsEmptyRecord(output));
}

TEST(CopyMesh, LeavesOutColoursThatAreNotFlagged) {
  ServiceMesh input;
  input.record.has_colors = false;
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_copyMesh(&input.record, &output), SOLVO_STATUS_OK);
  EXPECT_EQ(output.colors, nullptr);
  EXPECT_NE(output.normals, nullptr);
  SolvoSupport_freeMesh(&output);
}

TEST(CopyMesh, CopiesARecordOntoItself) {
  ServiceMesh input;
  SolvoMesh_Experimental mesh = input.record;
  ASSERT_EQ(SolvoSupport_copyMesh(&mesh, &mesh), SOLVO_STATUS_OK);
  EXPECT_NE(mesh.vertices, input.record.vertices);
  EXPECT_EQ(std::memcmp(mesh.faces, input.faces, sizeof(input.faces)), 0);
  EXPECT_THAT(mesh.tag, ElementsAre(7u, 8u, 9u));
  SolvoSupport_freeMesh(&mesh);
}

TEST(CopyMesh, RefusesAnArrayTheCountsPromiseButIsNullAndLeavesTheOutputAlone) {
  struct Case {
    void (*spoil)(SolvoMesh_Experimental*);
    const char* message;
  };
  const Case cases[] = {
      {[](SolvoMesh_Experimental* m) { m->vertices = nullptr; },
       " input_mesh->vertices is nullptr."},
      {[](SolvoMesh_Experimental* m) { m->faces = nullptr; }, " input_mesh->faces is nullptr."},
      {[](SolvoMesh_Experimental* m) { m->normals = nullptr; }, " input_mesh->normals is nullptr."},
      {[](SolvoMesh_Experimental* m) { m->colors = nullptr; }, " input_mesh->colors is nullptr."},
  };
  for (const Case& c : cases) {
    ServiceMesh input;
    c.spoil(&input.record);
    SolvoMesh_Experimental output = ServiceMesh().record;
    const SolvoMesh_Experimental before = output;
    logging::LogCapture capture;
    capture.Clear();  // drops lines of earlier statements still on their way
    EXPECT_EQ(SolvoSupport_copyMesh(&input.record, &output), SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_THAT(capture.Texts(), ElementsAre(std::string(kCopySignature) + c.message));
    EXPECT_EQ(std::memcmp(&output, &before, sizeof(output)), 0);
  }
  // Unflagged or uncounted arrays may be null.
  ServiceMesh input;
  input.record.has_normals = false;
  input.record.normals = nullptr;
  input.record.num_faces = 0;
  input.record.faces = nullptr;
  SolvoMesh_Experimental output{};
  EXPECT_EQ(SolvoSupport_copyMesh(&input.record, &output), SOLVO_STATUS_OK);
  SolvoSupport_freeMesh(&output);
}

}  // namespace
