// Edge contraction: what a collapse removes, how the survivors are rewired, and the pillow rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include "halfedge-mesh/halfedge-mesh.h"
#include "halfedge-mesh/mesh-test-support.h"
#include "logging/log-capture.h"

namespace halfedge_mesh {
namespace {

using ::testing::IsEmpty;

struct Counts {
  uint32_t vertices = 0, halfedges = 0, edges = 0, faces = 0;
};

// Valid elements, before compaction: half-edges are counted through the valid edges.
Counts ValidCounts(const HalfedgeMesh& mesh) {
  Counts counts;
  for (uint32_t i = 0; i < mesh.NVertices(); ++i) counts.vertices += mesh.GetVertex(i) != nullptr;
  for (uint32_t i = 0; i < mesh.NEdges(); ++i) {
    const std::shared_ptr<Edge>& edge = mesh.GetEdge(i);
    if (!edge) continue;
    ++counts.edges;
    for (uint32_t order = 0; order < 2; ++order) {
      counts.halfedges += edge->halfedge(order) && edge->halfedge(order)->is_valid();
    }
  }
  for (uint32_t i = 0; i < mesh.NFaces(); ++i) counts.faces += mesh.GetFace(i) != nullptr;
  return counts;
}

std::shared_ptr<Edge> EdgeBetween(const HalfedgeMesh& mesh, uint32_t a, uint32_t b) {
  for (uint32_t i = 0; i < mesh.NEdges(); ++i) {
    const std::shared_ptr<Edge>& edge = mesh.GetEdge(i);
    const uint32_t first = edge->first_vertex()->id();
    const uint32_t second = edge->second_vertex()->id();
    if ((first == a && second == b) || (first == b && second == a)) return edge;
  }
  return nullptr;
}

void ExpectSoundFanAround(const HalfedgeMesh& mesh, const std::shared_ptr<Vertex>& pivot) {
  const auto out = mesh.GetVertexOutHalfedges(pivot);
  ASSERT_FALSE(out.empty());
  for (const auto& h : out) {
    EXPECT_TRUE(h->is_valid());
    EXPECT_EQ(h->from_vertex(), pivot);
    EXPECT_TRUE(h->adjacent_face()->is_valid());
  }
  for (const auto& face : mesh.GetVertexFaces(pivot)) {
    const auto corners = mesh.GetFaceVertices(face);
    const Eigen::Vector3d n = (corners[1]->position() - corners[0]->position())
                                  .cross(corners[2]->position() - corners[0]->position())
                                  .normalized();
    EXPECT_NEAR((face->normal() - n).norm(), 0.0, 1e-12) << "face " << face->id();
  }
}

TEST(ContractEdge, OnAClosedSurfaceRemovesOneVertexTwoFacesAndThreeEdges) {
  const auto mesh = BuildMesh(Icosphere(1));
  const Counts before = ValidCounts(*mesh);
  const int64_t euler = EulerCharacteristic(*mesh);
  const std::shared_ptr<Edge> edge = mesh->GetEdge(7);
  const std::shared_ptr<Vertex> pivot = edge->first_vertex();
  const Eigen::Vector3d position =
      0.3 * pivot->position() + 0.7 * edge->second_vertex()->position();

  {
    logging::LogCapture capture;
    capture.Clear();  // drops lines of earlier statements still on their way
    EXPECT_EQ(mesh->ContractEdge(edge, position), pivot);
    EXPECT_THAT(capture.Texts(), IsEmpty());
  }
  EXPECT_EQ(pivot->position(), position);
  const Counts after = ValidCounts(*mesh);
  EXPECT_EQ(before.vertices - after.vertices, 1u);
  EXPECT_EQ(before.faces - after.faces, 2u);
  EXPECT_EQ(before.edges - after.edges, 3u);
  EXPECT_EQ(before.halfedges - after.halfedges, 6u);
  EXPECT_EQ(EulerCharacteristic(*mesh), euler);
  ExpectSoundFanAround(*mesh, pivot);

  mesh->RemoveInvalidElements();
  EXPECT_EQ(CheckInvariants(*mesh), "");
  EXPECT_EQ(mesh->NVertices(), before.vertices - 1);
  EXPECT_EQ(mesh->NFaces(), before.faces - 2);
  EXPECT_EQ(mesh->NEdges(), before.edges - 3);
  EXPECT_EQ(mesh->NHalfedges(), before.halfedges - 6);
}

TEST(ContractEdge, ManyCollapsesInARowKeepEveryFaceLoopClosed) {
  const auto mesh = BuildMesh(TorusGrid(12, 10));
  // Every fourth edge still valid, each at its midpoint: enough to reach degenerate corners.
  for (uint32_t i = 0; i < mesh->NEdges(); i += 4) {
    const std::shared_ptr<Edge> edge = mesh->GetEdge(i);
    if (!edge) continue;
    const Eigen::Vector3d middle =
        0.5 * (edge->first_vertex()->position() + edge->second_vertex()->position());
    const std::shared_ptr<Vertex> pivot = mesh->ContractEdge(edge, middle);
    if (pivot) ExpectSoundFanAround(*mesh, pivot);
  }
  mesh->RemoveInvalidElements();
  for (uint32_t f = 0; f < mesh->NFaces(); ++f) {
    EXPECT_EQ(mesh->GetFaceVertices(mesh->GetFace(f)).size(), 3u);
  }
}

TEST(ContractEdge, OnABoundaryLeavesTheSurvivingEdgeHeldByItsSecondHalfedge) {
  MeshArrays strip;
  for (uint32_t i = 0; i < 6; ++i) {
    strip.vertices.push_back({static_cast<float>(i / 2), static_cast<float>(i % 2), 0});
  }
  strip.faces = {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}, {4, 3, 5}};
  const auto mesh = BuildMesh(strip);
  const std::shared_ptr<Edge> edge = EdgeBetween(*mesh, 0, 1);
  ASSERT_TRUE(edge && !edge->halfedge(1));
  const std::shared_ptr<Edge> side = EdgeBetween(*mesh, 0, 2);
  const std::shared_ptr<Vertex> pivot = edge->first_vertex();
  const Counts before = ValidCounts(*mesh);

  EXPECT_EQ(mesh->ContractEdge(edge, Eigen::Vector3d(0, 0.5, 0)), pivot);
  const Counts after = ValidCounts(*mesh);
  EXPECT_EQ(before.faces - after.faces, 1u);
  EXPECT_EQ(before.halfedges - after.halfedges, 3u);
  EXPECT_EQ(before.edges - after.edges, 2u);
  EXPECT_EQ(before.vertices - after.vertices, 1u);
  ASSERT_TRUE(side->is_valid());
  EXPECT_FALSE(side->halfedge(0));
  std::shared_ptr<Vertex> first, second;
  side->vertices(&first, &second);
  EXPECT_EQ(first, pivot);
  EXPECT_EQ(second->id(), 2u);
  EXPECT_TRUE(pivot->is_boundary());
  ExpectSoundFanAround(*mesh, pivot);
  mesh->RemoveInvalidElements();
  EXPECT_EQ(CheckInvariants(*mesh), "");
}

TEST(ContractEdge, OfALoneTriangleLeavesNothing) {
  MeshArrays triangle;
  triangle.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  triangle.faces = {{0, 1, 2}};
  const auto mesh = BuildMesh(triangle);
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  EXPECT_FALSE(mesh->ContractEdge(mesh->GetEdge(0), Eigen::Vector3d(0.5, 0, 0)));
  mesh->RemoveInvalidElements();
  EXPECT_EQ(mesh->NVertices() + mesh->NHalfedges() + mesh->NEdges() + mesh->NFaces(), 0u);
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST(ContractEdge, OfAPillowLeavesNothing) {
  MeshArrays pillow;
  pillow.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  pillow.faces = {{0, 1, 2}, {0, 1, 2}};  // the second becomes the first one's back side
  const auto mesh = BuildMesh(pillow);
  ASSERT_EQ(mesh->NFaces(), 2u);
  EXPECT_FALSE(mesh->ContractEdge(mesh->GetEdge(1), Eigen::Vector3d(0.5, 0.5, 0)));
  mesh->RemoveInvalidElements();
  EXPECT_EQ(mesh->NVertices() + mesh->NHalfedges() + mesh->NEdges() + mesh->NFaces(), 0u);
}

TEST(ContractEdge, ReleasesWhatItRemovedAtTheNextCompaction) {
  const auto mesh = BuildMesh(Icosphere(1));
  std::weak_ptr<Vertex> other = mesh->GetEdge(3)->second_vertex();
  std::weak_ptr<Face> face = mesh->GetEdge(3)->halfedge(0)->adjacent_face();
  std::weak_ptr<Halfedge> halfedge = mesh->GetEdge(3)->halfedge(1);
  std::weak_ptr<Edge> edge = mesh->GetEdge(3);
  mesh->ContractEdge(mesh->GetEdge(3), mesh->GetEdge(3)->first_vertex()->position());
  mesh->RemoveInvalidElements();
  EXPECT_TRUE(other.expired());
  EXPECT_TRUE(face.expired());
  EXPECT_TRUE(halfedge.expired());
  EXPECT_TRUE(edge.expired());
}

TEST(ContractEdgeDeathTest, RefusesAMissingEdge) {
  const auto mesh = BuildMesh(Tetrahedron());
  EXPECT_DEATH(mesh->ContractEdge(nullptr, Eigen::Vector3d::Zero()), "Check failed: edge ");
}

}  // namespace
}  // namespace halfedge_mesh
