// Building from arrays: orientation, dropped faces and vertices, split fans, and their log lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "halfedge-mesh/halfedge-mesh.h"
#include "halfedge-mesh/mesh-test-support.h"
#include "logging/log-capture.h"

namespace halfedge_mesh {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Face3 = std::array<uint32_t, 3>;

MeshArrays FourPoints() {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  return arrays;
}

TEST(BuildFromArrays, FlipsATriangleListedWithTheOppositeWinding) {
  MeshArrays arrays = FourPoints();
  arrays.faces = {{0, 1, 2}, {1, 2, 3}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  EXPECT_EQ(CheckInvariants(*mesh), "");
  EXPECT_THAT(ExportMesh(*mesh).faces, ElementsAre(Face3{0, 1, 2}, Face3{3, 2, 1}));
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST(BuildFromArrays, OrientsEveryFaceOfAPatchLikeItsFirstFace) {
  MeshArrays arrays = TorusGrid(12, 9);
  const std::vector<Face3> given = arrays.faces;
  std::mt19937 engine(5);
  for (size_t i = 1; i < arrays.faces.size(); ++i) {
    if (engine() % 2) std::swap(arrays.faces[i][0], arrays.faces[i][2]);
  }
  const auto mesh = BuildMesh(arrays);
  EXPECT_EQ(CheckInvariants(*mesh), "");
  EXPECT_EQ(ExportMesh(*mesh).faces, given);
  EXPECT_EQ(EulerCharacteristic(*mesh), 0);
}

TEST(BuildFromArrays, ReportsThreeTrianglesOnOneEdgeAndDropsTheLastReached) {
  MeshArrays arrays = FourPoints();
  arrays.vertices.push_back({0.5f, 0.5f, 1});
  arrays.faces = {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  EXPECT_THAT(capture.Texts(),
              ElementsAre("Non-manifold mesh (Edge (Vertex ID, Vertex ID) = (0, 1)).",
                          " - Neighbor face IDs: ", "0 ", "1 ", "2 "));
  EXPECT_EQ(CheckInvariants(*mesh), "");
  EXPECT_THAT(ExportMesh(*mesh).faces, ElementsAre(Face3{0, 1, 2}, Face3{1, 0, 3}));
  EXPECT_EQ(mesh->NVertices(), 4u);
}

TEST(BuildFromArrays, ReportsAFaceWithAFourthNeighbourAndGoesOn) {
  // Face 1 is face 0 the other way round; face 2 would be face 0's fourth neighbour.
  MeshArrays arrays = FourPoints();
  arrays.faces = {{0, 1, 2}, {2, 1, 0}, {1, 2, 3}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  EXPECT_THAT(capture.Texts(), ElementsAre("Non-manifold mesh (Face ID = 0).",
                                           " - Neighbor face IDs: ", "1 ", "1 ", "1 ", "2 "));
  EXPECT_EQ(CheckInvariants(*mesh), "");
}

TEST(BuildFromArrays, DropsAFaceWithAnIndexEqualToTheVertexCountAndRenumbersTheRest) {
  MeshArrays arrays = FourPoints();
  arrays.faces = {{0, 1, 2}, {0, 1, 4}, {1, 3, 2}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  EXPECT_THAT(capture.Texts(), ElementsAre("Wrong vertex index (Face ID = 1). Deleted."));
  EXPECT_THAT(ExportMesh(*mesh).faces, ElementsAre(Face3{0, 1, 2}, Face3{1, 3, 2}));
  for (uint32_t f = 0; f < mesh->NFaces(); ++f) EXPECT_EQ(mesh->GetFace(f)->id(), f);
}

TEST(BuildFromArrays, DropsAFaceThatUsesAVertexTwice) {
  MeshArrays arrays = FourPoints();
  arrays.faces = {{0, 1, 2}, {3, 3, 1}, {1, 3, 2}, {2, 2, 2}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  EXPECT_THAT(capture.Texts(), ElementsAre("Degenerate face (Face ID = 1). Deleted.",
                                           "Degenerate face (Face ID = 3). Deleted."));
  EXPECT_EQ(CheckInvariants(*mesh), "");
  EXPECT_THAT(ExportMesh(*mesh).faces, ElementsAre(Face3{0, 1, 2}, Face3{1, 3, 2}));
}

TEST(BuildFromArrays, DropsAnUnusedVertexSilently) {
  MeshArrays arrays = FourPoints();
  arrays.vertices.push_back({2, 2, 2});
  arrays.faces = {{0, 1, 3}, {1, 4, 3}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  const MeshArrays exported = ExportMesh(*mesh);
  EXPECT_THAT(capture.Texts(), IsEmpty());
  EXPECT_EQ(exported.vertices,
            (std::vector<std::array<float, 3>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 2, 2}}));
  EXPECT_THAT(exported.faces, ElementsAre(Face3{0, 1, 2}, Face3{1, 3, 2}));
}

TEST(BuildFromArrays, SplitsABowTieVertexIntoTwoWithTheSameAttributes) {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}};
  arrays.normals = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 1}};
  arrays.colors = {{9, 8, 7, 6}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}};
  arrays.faces = {{0, 1, 2}, {0, 3, 4}};
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  const auto mesh = BuildMesh(arrays);
  EXPECT_THAT(capture.Texts(), IsEmpty());
  ASSERT_EQ(CheckInvariants(*mesh), "");
  const MeshArrays exported = ExportMesh(*mesh, true, true);
  ASSERT_EQ(exported.vertices.size(), 6u);
  EXPECT_THAT(exported.faces, ElementsAre(Face3{5, 1, 2}, Face3{0, 3, 4}));
  EXPECT_EQ(exported.vertices[5], arrays.vertices[0]);
  EXPECT_EQ(exported.normals[5], arrays.normals[0]);
  EXPECT_EQ(exported.colors[5], arrays.colors[0]);
  EXPECT_EQ(mesh->GetVertexFaces(mesh->GetVertex(0)).size(), 1u);
  EXPECT_EQ(mesh->GetVertexFaces(mesh->GetVertex(5)).size(), 1u);
}

TEST(BuildFromArrays, GivesAClosedSurfaceNoBoundaryAndAnOpenStripOnlyBoundary) {
  const auto sphere = BuildMesh(Icosphere(2));
  ASSERT_EQ(CheckInvariants(*sphere), "");
  EXPECT_EQ(EulerCharacteristic(*sphere), 2);
  for (uint32_t e = 0; e < sphere->NEdges(); ++e) {
    EXPECT_FALSE(sphere->GetEdge(e)->is_boundary()) << e;
  }
  for (uint32_t v = 0; v < sphere->NVertices(); ++v) {
    EXPECT_FALSE(sphere->GetVertex(v)->is_boundary()) << v;
  }

  MeshArrays strip;
  for (uint32_t i = 0; i < 6; ++i) {
    strip.vertices.push_back({static_cast<float>(i / 2), static_cast<float>(i % 2), 0});
  }
  strip.faces = {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}, {4, 3, 5}};
  const auto open = BuildMesh(strip);
  ASSERT_EQ(CheckInvariants(*open), "");
  for (uint32_t v = 0; v < open->NVertices(); ++v) {
    EXPECT_TRUE(open->GetVertex(v)->is_boundary()) << v;
  }
}

TEST(BuildFromArrays, TurnsADuplicatedTriangleIntoItsBackSide) {
  MeshArrays arrays = FourPoints();
  arrays.faces = {{0, 1, 2}, {0, 1, 2}};
  const auto mesh = BuildMesh(arrays);
  ASSERT_EQ(CheckInvariants(*mesh), "");
  EXPECT_THAT(ExportMesh(*mesh).faces, ElementsAre(Face3{0, 1, 2}, Face3{2, 1, 0}));
  EXPECT_EQ(mesh->NEdges(), 3u);
}

TEST(BuildFromArrays, LeavesTheMeshEmptyWithoutFacesOrVertices) {
  const auto mesh = BuildMesh(Tetrahedron());
  const Eigen::Vector3d box_max = mesh->bbox_max();
  MeshArrays no_faces = Tetrahedron();
  no_faces.faces.clear();
  mesh->BuildFromArrays(reinterpret_cast<const float(*)[3]>(no_faces.vertices.data()), nullptr,
                        nullptr, nullptr, 4, 0);
  EXPECT_EQ(mesh->NVertices() + mesh->NHalfedges() + mesh->NEdges() + mesh->NFaces(), 0u);
  EXPECT_EQ(mesh->bbox_max(), box_max);
  const MeshArrays tetrahedron = Tetrahedron();
  mesh->BuildFromArrays(nullptr, reinterpret_cast<const uint32_t(*)[3]>(tetrahedron.faces.data()),
                        nullptr, nullptr, 0, 4);
  EXPECT_EQ(mesh->NFaces(), 0u);
}

TEST(BuildFromArrays, SurvivesRandomTriangleSoups) {
  // Random indices into few vertices: non-manifold edges, bow ties, duplicates, bad indices.
  std::mt19937 engine(11);
  for (int round = 0; round < 200; ++round) {
    MeshArrays arrays;
    const uint32_t n_vertices = 3 + engine() % 10;
    for (uint32_t v = 0; v < n_vertices; ++v) {
      arrays.vertices.push_back({static_cast<float>(engine() % 5), static_cast<float>(engine() % 5),
                                 static_cast<float>(engine() % 5)});
    }
    const uint32_t n_faces = 1 + engine() % 25;
    for (uint32_t f = 0; f < n_faces; ++f) {
      arrays.faces.push_back({static_cast<uint32_t>(engine() % (n_vertices + 1)),
                              static_cast<uint32_t>(engine() % n_vertices),
                              static_cast<uint32_t>(engine() % n_vertices)});
    }
    const auto mesh = BuildMesh(arrays);
    ASSERT_EQ(CheckInvariants(*mesh), "") << "round " << round;
    for (const auto& face : ExportMesh(*mesh).faces) {
      for (uint32_t id : face) ASSERT_LT(id, mesh->NVertices());
    }
  }
}

}  // namespace
}  // namespace halfedge_mesh
