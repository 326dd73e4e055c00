// The simplified mesh export: copy path, simplification path, refusals, and hostile contents.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "halfedge-mesh/mesh-test-support.h"
#include "logging/log-capture.h"
#include "solvo_support_api.h"

namespace {

using halfedge_mesh::MeshArrays;
using ::testing::ElementsAre;

constexpr char kSignature[] =
    "SolvoErrorType SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental*, uint32_t, "
    "SolvoMesh_Experimental*)";

// A record viewing the arrays (owned by the caller's MeshArrays).
SolvoMesh_Experimental View(MeshArrays& arrays) {
  SolvoMesh_Experimental mesh{};
  mesh.tag[0] = 11;
  mesh.tag[2] = 13;
  mesh.vertices = reinterpret_cast<float(*)[3]>(arrays.vertices.data());
  mesh.faces = reinterpret_cast<uint32_t(*)[3]>(arrays.faces.data());
  mesh.num_vertices = static_cast<uint32_t>(arrays.vertices.size());
  mesh.num_faces = static_cast<uint32_t>(arrays.faces.size());
  mesh.has_normals = !arrays.normals.empty();
  mesh.has_colors = !arrays.colors.empty();
  mesh.normals = mesh.has_normals ? reinterpret_cast<float(*)[3]>(arrays.normals.data()) : nullptr;
  mesh.colors = mesh.has_colors ? reinterpret_cast<uint8_t(*)[4]>(arrays.colors.data()) : nullptr;
  return mesh;
}

// Every face index names a vertex and every position is finite.
void ExpectUsable(const SolvoMesh_Experimental& mesh) {
  for (uint32_t f = 0; f < mesh.num_faces; ++f) {
    for (int k = 0; k < 3; ++k) ASSERT_LT(mesh.faces[f][k], mesh.num_vertices) << "face " << f;
  }
  for (uint32_t v = 0; v < mesh.num_vertices; ++v) {
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite(mesh.vertices[v][k])) << "vertex " << v;
  }
  EXPECT_EQ(mesh.vertices == nullptr, mesh.num_vertices == 0);
  EXPECT_EQ(mesh.faces == nullptr, mesh.num_faces == 0);
}

TEST(CreateSimplifiedMesh, RefusesNullRecordsAndPromisedNullArrays) {
  MeshArrays arrays = halfedge_mesh::Tetrahedron();
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental output{};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  EXPECT_EQ(SolvoSupport_createSimplifiedMesh(nullptr, 1, &output), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_createSimplifiedMesh(&input, 1, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  input.has_colors = true;
  EXPECT_EQ(SolvoSupport_createSimplifiedMesh(&input, 1, &output), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(SolvoSupport_createSimplifiedMesh(&input, 100, &output), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_THAT(capture.Texts(),
              ElementsAre(std::string(kSignature) + " input_mesh is nullptr.",
                          std::string(kSignature) + " output_mesh is nullptr.",
                          std::string(kSignature) + " input_mesh->colors is nullptr.",
                          std::string(kSignature) + " input_mesh->colors is nullptr."));
  EXPECT_EQ(output.vertices, nullptr);
}

TEST(CreateSimplifiedMesh, CopiesExactlyWithTheTagWhenTheTargetIsNotBelowTheFaceCount) {
  MeshArrays arrays = halfedge_mesh::Tetrahedron();
  arrays.faces.push_back({0, 0, 9});  // a copy keeps even what the build would drop
  SolvoMesh_Experimental input = View(arrays);
  for (uint32_t target : {5u, 6u, 0xFFFFFFFFu}) {
    SolvoMesh_Experimental output{};
    ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, target, &output), SOLVO_STATUS_OK);
    EXPECT_THAT(output.tag, ElementsAre(11u, 0u, 13u));
    ASSERT_EQ(output.num_faces, 5u);
    EXPECT_EQ(std::memcmp(output.faces, input.faces, 5 * 12), 0);
    EXPECT_EQ(std::memcmp(output.vertices, input.vertices, 4 * 12), 0);
    SolvoSupport_freeMesh(&output);
  }
}

TEST(CreateSimplifiedMesh, WritesBackAClosedTetrahedronWholeWithATagOfZero) {
  MeshArrays arrays = halfedge_mesh::Tetrahedron();
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, 0, &output), SOLVO_STATUS_OK);
  EXPECT_EQ(output.num_vertices, 4u);
  EXPECT_EQ(output.num_faces, 4u);
  EXPECT_THAT(output.tag, ElementsAre(0u, 0u, 0u));
  EXPECT_FALSE(output.has_normals || output.has_colors);
  EXPECT_EQ(output.normals, nullptr);
  EXPECT_EQ(output.colors, nullptr);
  SolvoSupport_freeMesh(&output);
}

TEST(CreateSimplifiedMesh, HalvesASphereAndCarriesTheSurvivorsNormalsAndColours) {
  MeshArrays arrays = halfedge_mesh::Icosphere(4);
  for (uint32_t v = 0; v < arrays.vertices.size(); ++v) {
    arrays.normals.push_back(arrays.vertices[v]);
    arrays.colors.push_back({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), 7, 255});
  }
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, 2560, &output), SOLVO_STATUS_OK);
  EXPECT_LE(output.num_faces, 2560u);
  EXPECT_GT(output.num_faces, 2000u);
  ASSERT_TRUE(output.has_normals && output.has_colors);
  ExpectUsable(output);
  for (uint32_t v = 0; v < output.num_vertices; ++v) {
    const uint32_t origin = output.colors[v][0] | (uint32_t{output.colors[v][1]} << 8);
    ASSERT_LT(origin, arrays.vertices.size());
    EXPECT_THAT(output.normals[v], ElementsAre(arrays.normals[origin][0], arrays.normals[origin][1],
                                               arrays.normals[origin][2]));
  }
  SolvoSupport_freeMesh(&output);
}

TEST(CreateSimplifiedMesh, RefusesPositionsThatAreNotFiniteWhenSimplifying) {
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    MeshArrays arrays = halfedge_mesh::Icosphere(1);
    arrays.vertices[17][1] = bad;
    SolvoMesh_Experimental input = View(arrays);
    SolvoMesh_Experimental output{};
    logging::LogCapture capture;
    capture.Clear();  // drops lines of earlier statements still on their way
    EXPECT_EQ(SolvoSupport_createSimplifiedMesh(&input, 10, &output), SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_THAT(capture.Texts(),
                ElementsAre(std::string(kSignature) + " input_mesh->vertices[17] is not finite."));
    EXPECT_EQ(output.vertices, nullptr);
  }
}

TEST(CreateSimplifiedMesh, SimplifiesDegenerateDuplicateAndNonManifoldFaces) {
  MeshArrays arrays = halfedge_mesh::Icosphere(2);
  const uint32_t n = static_cast<uint32_t>(arrays.vertices.size());
  arrays.faces.push_back(arrays.faces[5]);  // duplicate
  arrays.faces.push_back({arrays.faces[9][2], arrays.faces[9][1], arrays.faces[9][0]});
  arrays.faces.push_back({arrays.faces[0][0], arrays.faces[0][1], n});    // out of range
  arrays.faces.push_back({3, 3, 4});                                      // repeated index
  arrays.faces.push_back({arrays.faces[20][0], arrays.faces[20][1], 0});  // third face on an edge
  arrays.vertices[40] = arrays.vertices[41];                              // zero-area triangles
  arrays.vertices.push_back({5, 5, 5});                                   // unused vertex
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, 100, &output), SOLVO_STATUS_OK);
  ExpectUsable(output);
  EXPECT_LE(output.num_faces, 200u);
  SolvoSupport_freeMesh(&output);
}

TEST(CreateSimplifiedMesh, WritesAnEmptyRecordWhenNoFaceCanBeBuilt) {
  MeshArrays arrays = halfedge_mesh::Tetrahedron();
  for (auto& face : arrays.faces) face[1] = 4;
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, 1, &output), SOLVO_STATUS_OK);
  EXPECT_EQ(output.num_faces, 0u);
  EXPECT_EQ(output.num_vertices, 0u);
  EXPECT_EQ(output.vertices, nullptr);
  SolvoSupport_freeMesh(&output);
}

TEST(CreateSimplifiedMesh, NeverEndsTheProcessOnRandomTriangleSoups) {
  std::mt19937 engine(23);
  for (int round = 0; round < 300; ++round) {
    MeshArrays arrays;
    const uint32_t n_vertices = 3 + engine() % 12;
    for (uint32_t v = 0; v < n_vertices; ++v) {
      // Few distinct coordinates: coincident corners, collinear and coplanar triangles.
      arrays.vertices.push_back({static_cast<float>(engine() % 3), static_cast<float>(engine() % 3),
                                 static_cast<float>(engine() % 2) * 1e30f});
    }
    const uint32_t n_faces = 1 + engine() % 40;
    for (uint32_t f = 0; f < n_faces; ++f) {
      arrays.faces.push_back({static_cast<uint32_t>(engine() % (n_vertices + 1)),
                              static_cast<uint32_t>(engine() % n_vertices),
                              static_cast<uint32_t>(engine() % n_vertices)});
    }
    SolvoMesh_Experimental input = View(arrays);
    SolvoMesh_Experimental output{};
    ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, static_cast<uint32_t>(engine() % n_faces),
                                                &output),
              SOLVO_STATUS_OK);
    ExpectUsable(output);
    SolvoSupport_freeMesh(&output);
  }
}

TEST(CreateSimplifiedMesh, NeverEndsTheProcessOnRandomGridsWithHoles) {
  // Manifold patches with holes and flipped faces, simplified hard: the simplifier's own
  // invariants are what is at stake here.
  std::mt19937 engine(29);
  for (int round = 0; round < 40; ++round) {
    MeshArrays arrays = halfedge_mesh::TorusGrid(6 + engine() % 10, 5 + engine() % 10);
    for (auto& v : arrays.vertices) v[2] += 0.05f * static_cast<float>(engine() % 7);
    MeshArrays holed = arrays;
    holed.faces.clear();
    for (auto face : arrays.faces) {
      if (engine() % 9 == 0) continue;
      if (engine() % 5 == 0) std::swap(face[0], face[2]);
      holed.faces.push_back(face);
    }
    SolvoMesh_Experimental input = View(holed);
    SolvoMesh_Experimental output{};
    ASSERT_EQ(
        SolvoSupport_createSimplifiedMesh(&input, static_cast<uint32_t>(engine() % 20), &output),
        SOLVO_STATUS_OK);
    ExpectUsable(output);
    SolvoSupport_freeMesh(&output);
  }
}

}  // namespace

namespace {

struct ProgressLog {
  std::vector<float> fractions;
  size_t cancel_at = std::numeric_limits<size_t>::max();  // the call that answers "cancel"
};

int RecordProgress(float fraction_done, void* user_data) {
  auto* log = static_cast<ProgressLog*>(user_data);
  log->fractions.push_back(fraction_done);
  return log->fractions.size() > log->cancel_at ? 1 : 0;
}

TEST(CreateSimplifiedMeshWithProgress, ReportsFractionsRisingFromZeroToOneAndTheSameMesh) {
  MeshArrays arrays = halfedge_mesh::Icosphere(4);
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental plain{};
  SolvoMesh_Experimental reported{};
  ProgressLog log;
  ASSERT_EQ(SolvoSupport_createSimplifiedMesh(&input, 500, &plain), SOLVO_STATUS_OK);
  ASSERT_EQ(
      SolvoSupport_createSimplifiedMeshWithProgress(&input, 500, &reported, RecordProgress, &log),
      SOLVO_STATUS_OK);
  ASSERT_GE(log.fractions.size(), 10u);
  EXPECT_EQ(log.fractions.front(), 0.0f);
  EXPECT_EQ(log.fractions.back(), 1.0f);
  EXPECT_TRUE(std::is_sorted(log.fractions.begin(), log.fractions.end()));
  ASSERT_EQ(reported.num_faces, plain.num_faces);
  ASSERT_EQ(reported.num_vertices, plain.num_vertices);
  EXPECT_EQ(std::memcmp(reported.faces, plain.faces, sizeof(uint32_t[3]) * plain.num_faces), 0);
  EXPECT_EQ(std::memcmp(reported.vertices, plain.vertices, sizeof(float[3]) * plain.num_vertices),
            0);
  SolvoSupport_freeMesh(&plain);
  SolvoSupport_freeMesh(&reported);
}

TEST(CreateSimplifiedMeshWithProgress, CancellingFailsAndLeavesTheOutputUntouched) {
  MeshArrays arrays = halfedge_mesh::Icosphere(4);
  SolvoMesh_Experimental input = View(arrays);
  for (size_t cancel_at : {size_t{0}, size_t{5}}) {
    SolvoMesh_Experimental output{};
    output.num_faces = 77;
    output.tag[1] = 5;
    ProgressLog log;
    log.cancel_at = cancel_at;
    logging::LogCapture capture;
    capture.Clear();
    EXPECT_EQ(
        SolvoSupport_createSimplifiedMeshWithProgress(&input, 500, &output, RecordProgress, &log),
        SOLVO_STATUS_FAILED);
    EXPECT_EQ(log.fractions.size(), cancel_at + 1);
    EXPECT_EQ(output.num_faces, 77u);
    EXPECT_EQ(output.tag[1], 5u);
    EXPECT_EQ(output.faces, nullptr);
    EXPECT_THAT(capture.Texts(), ::testing::IsEmpty());
  }
}

TEST(CreateSimplifiedMeshWithProgress, ReportsZeroAndOneOnTheCopyPathAndAcceptsNoCallback) {
  MeshArrays arrays = halfedge_mesh::Tetrahedron();
  SolvoMesh_Experimental input = View(arrays);
  SolvoMesh_Experimental output{};
  ProgressLog log;
  ASSERT_EQ(
      SolvoSupport_createSimplifiedMeshWithProgress(&input, 10, &output, RecordProgress, &log),
      SOLVO_STATUS_OK);
  EXPECT_THAT(log.fractions, ElementsAre(0.0f, 1.0f));
  SolvoSupport_freeMesh(&output);
  ASSERT_EQ(SolvoSupport_createSimplifiedMeshWithProgress(&input, 2, &output, nullptr, nullptr),
            SOLVO_STATUS_OK);
  EXPECT_LE(output.num_faces, 4u);
  SolvoSupport_freeMesh(&output);
}

}  // namespace
