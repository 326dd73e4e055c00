// Quadric-error simplification: quadrics, the contraction test, weights, candidates and the loop.
#include <gflags/gflags.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "halfedge-mesh/mesh-test-support.h"
#include "mesh-toolbox/mesh-toolbox.h"

namespace mesh_toolbox {
namespace {

using halfedge_mesh::BuildMesh;
using halfedge_mesh::CheckInvariants;
using halfedge_mesh::Edge;
using halfedge_mesh::EulerCharacteristic;
using halfedge_mesh::HalfedgeMesh;
using halfedge_mesh::MeshArrays;

MeshArrays Triangle() {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
  arrays.faces = {{0, 1, 2}};
  return arrays;
}

// A flat 4x4 grid of unit squares, each split in two: boundary all around, 9 interior vertices.
MeshArrays Grid() {
  MeshArrays arrays;
  for (uint32_t y = 0; y <= 4; ++y) {
    for (uint32_t x = 0; x <= 4; ++x) {
      arrays.vertices.push_back({static_cast<float>(x), static_cast<float>(y), 0});
    }
  }
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      const uint32_t v = 5 * y + x;
      arrays.faces.push_back({v, v + 1, v + 6});
      arrays.faces.push_back({v, v + 6, v + 5});
    }
  }
  return arrays;
}

QuadricTable VertexQuadrics(const std::shared_ptr<HalfedgeMesh>& mesh) {
  QuadricTable table(mesh->NVertices(), Eigen::Matrix4d::Zero());
  for (uint32_t v = 0; v < mesh->NVertices(); ++v) {
    for (const auto& face : mesh->GetVertexFaces(mesh->GetVertex(v))) {
      table[v] += ComputeFaceQuadric(mesh, face);
    }
  }
  return table;
}

TEST(ComputeFaceQuadric, MeasuresSquaredDistanceToTheFacesPlane) {
  MeshArrays lifted = Triangle();
  for (auto& v : lifted.vertices) v[2] = 3;
  const auto mesh = BuildMesh(lifted);
  const Eigen::Matrix4d q = ComputeFaceQuadric(mesh, mesh->GetFace(0));
  EXPECT_NEAR(QuadricError(q, Eigen::Vector4d(5, -7, 1, 1)), 4.0, 1e-12);
  EXPECT_NEAR(QuadricError(q, Eigen::Vector4d(1, 1, 3, 1)), 0.0, 1e-12);
}

TEST(ComputeFaceQuadric, IsZeroForANonUnitStoredNormal) {
  const auto mesh = BuildMesh(Triangle());
  mesh->GetFace(0)->set_normal(Eigen::Vector3d(0, 0, 1 + 2e-8));
  EXPECT_EQ(ComputeFaceQuadric(mesh, mesh->GetFace(0)), Eigen::Matrix4d::Zero());
  mesh->GetFace(0)->set_normal(Eigen::Vector3d(0, 0, 1 + 0.5e-8));
  EXPECT_NE(ComputeFaceQuadric(mesh, mesh->GetFace(0)), Eigen::Matrix4d::Zero());
}

TEST(CanContractEdge, RefusesEveryEdgeOfAClosedTetrahedron) {
  const auto mesh = BuildMesh(halfedge_mesh::Tetrahedron());
  for (uint32_t e = 0; e < mesh->NEdges(); ++e)
    EXPECT_FALSE(CanContractEdge(mesh, mesh->GetEdge(e)));
  EXPECT_FALSE(CanContractEdge(mesh, nullptr));
}

TEST(CanContractEdge, RefusesAnInteriorEdgeBetweenTwoBoundaryVertices) {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  arrays.faces = {{0, 1, 2}, {2, 1, 3}};
  const auto mesh = BuildMesh(arrays);
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    const std::shared_ptr<Edge>& edge = mesh->GetEdge(e);
    EXPECT_EQ(CanContractEdge(mesh, edge), edge->is_boundary()) << e;
  }
}

TEST(CanContractEdge, RefusesEndsThatShareANeighbourBeyondTheirTriangles) {
  // An open tube, three quads around: the rim edge a0-a1 has one triangle (a0, a1, b1), but a0
  // and a1 also share a2. Contracting it would join a0 and a2 by two rim edges.
  MeshArrays tube;
  for (int ring = 0; ring < 2; ++ring) {
    for (int k = 0; k < 3; ++k) {
      const float angle = 2.0943951f * static_cast<float>(k);
      tube.vertices.push_back({std::cos(angle), std::sin(angle), static_cast<float>(ring)});
    }
  }
  for (uint32_t k = 0; k < 3; ++k) {
    const uint32_t next = (k + 1) % 3;
    tube.faces.push_back({k, next, 3 + next});
    tube.faces.push_back({k, 3 + next, 3 + k});
  }
  const auto mesh = BuildMesh(tube);
  ASSERT_EQ(CheckInvariants(*mesh), "");
  uint32_t rim_edges = 0;
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    const std::shared_ptr<Edge>& edge = mesh->GetEdge(e);
    if (!edge->is_boundary()) continue;
    ++rim_edges;
    EXPECT_FALSE(CanContractEdge(mesh, edge)) << e;
  }
  EXPECT_EQ(rim_edges, 6u);
}

TEST(ComputeEdgeContractor, GivesALoneTriangleWeightAndCostZeroAtTheMidpoint) {
  const auto mesh = BuildMesh(Triangle());
  const QuadricTable q = VertexQuadrics(mesh);
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    const std::shared_ptr<Edge>& edge = mesh->GetEdge(e);
    const auto candidate = ComputeEdgeContractor(mesh, q, edge);
    ASSERT_TRUE(candidate);
    EXPECT_EQ(ComputeContractionWeight(mesh, candidate), 0.0);
    EXPECT_EQ(candidate->cost, 0.0);
    EXPECT_EQ(candidate->position,
              0.5 * (edge->first_vertex()->position() + edge->second_vertex()->position()));
  }
}

TEST(ComputeEdgeContractor, PlacesEveryBoundaryEdgeAtItsMidpoint) {
  MeshArrays bent = Grid();
  for (auto& v : bent.vertices) v[2] = 0.1f * v[0] * v[0] - 0.2f * v[1];  // curved, not flat
  const auto mesh = BuildMesh(bent);
  const QuadricTable q = VertexQuadrics(mesh);
  uint32_t boundary_candidates = 0;
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    const std::shared_ptr<Edge>& edge = mesh->GetEdge(e);
    if (!edge->is_boundary()) continue;
    const auto candidate = ComputeEdgeContractor(mesh, q, edge);
    if (!candidate) continue;
    ++boundary_candidates;
    EXPECT_EQ(candidate->position,
              0.5 * (edge->first_vertex()->position() + edge->second_vertex()->position()));
  }
  EXPECT_GT(boundary_candidates, 0u);
}

// The quadric of the squared distance to `point`: its optimum is the point itself.
Eigen::Matrix4d PointQuadric(const Eigen::Vector3d& point) {
  Eigen::Matrix4d q = Eigen::Matrix4d::Identity();
  q.block<3, 1>(0, 3) = -point;
  q.block<1, 3>(3, 0) = -point.transpose();
  q(3, 3) = point.squaredNorm();
  return q;
}

TEST(ComputeEdgeContractor, PlacesASolvedOptimumButRefusesOneBeyondTheFloatRange) {
  const auto mesh = BuildMesh(Grid());
  // The interior edge between the interior vertices 6 and 7, whose quadrics are replaced.
  std::shared_ptr<Edge> edge;
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    const auto& candidate = mesh->GetEdge(e);
    const uint32_t a = candidate->first_vertex()->id(), b = candidate->second_vertex()->id();
    if ((a == 6 && b == 7) || (a == 7 && b == 6)) edge = candidate;
  }
  ASSERT_TRUE(edge);
  QuadricTable q(mesh->NVertices(), Eigen::Matrix4d::Zero());
  const Eigen::Vector3d near_midpoint(1.5, 1.25, 0.0);
  q[edge->first_vertex()->id()] = PointQuadric(near_midpoint);
  const auto placed = ComputeEdgeContractor(mesh, q, edge);
  ASSERT_TRUE(placed);
  EXPECT_EQ(placed->position, near_midpoint);
  // Solvable, but no single-precision position holds the optimum: no candidate at all, not one
  // at the midpoint.
  q[edge->first_vertex()->id()] = PointQuadric(Eigen::Vector3d(1e39, 1.25, 0.0));
  EXPECT_FALSE(ComputeEdgeContractor(mesh, q, edge));
}

TEST(ComputeContractionWeight, RefusesAPositionThatFlipsOrFlattensASurvivingTriangle) {
  const auto mesh = BuildMesh(Grid());
  // An interior edge between the interior vertices 6 and 7.
  std::shared_ptr<Edge> edge;
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    const auto& candidate = mesh->GetEdge(e);
    const uint32_t a = candidate->first_vertex()->id(), b = candidate->second_vertex()->id();
    if ((a == 6 && b == 7) || (a == 7 && b == 6)) edge = candidate;
  }
  ASSERT_TRUE(edge);
  auto contractor = std::make_shared<EdgeContractor>();
  contractor->edge_id = edge->id();
  contractor->position = Eigen::Vector3d(1.5, 1, 0);
  const double fine = ComputeContractionWeight(mesh, contractor);
  EXPECT_GT(fine, 0.0);
  EXPECT_LT(fine, FLAGS_max_mesh_angle_cos);
  contractor->position = Eigen::Vector3d(1.5, -3, 0);  // far outside: neighbours turn over
  EXPECT_EQ(ComputeContractionWeight(mesh, contractor), FLAGS_mesh_max_angle_normal_weight);
  contractor->position = Eigen::Vector3d(1, 0, 0);  // onto a neighbour: a triangle degenerates
  EXPECT_EQ(ComputeContractionWeight(mesh, contractor), FLAGS_mesh_max_angle_normal_weight);
}

TEST(SimplifyMesh, LeavesTheMeshUntouchedAndUncompactedForATargetAtOrAboveItsFaceCount) {
  const auto mesh = BuildMesh(halfedge_mesh::Icosphere(1));
  const std::shared_ptr<Edge> removed = mesh->GetEdge(0);
  removed->invalidate();
  const uint32_t n_faces = mesh->NFaces();
  SimplifyMesh(mesh, n_faces);
  SimplifyMesh(mesh, n_faces + 10);
  EXPECT_EQ(mesh->NEdges(), 120u);
  EXPECT_FALSE(mesh->GetEdge(0));
  EXPECT_EQ(mesh->NFaces(), n_faces);
}

TEST(SimplifyMesh, KeepsAClosedTetrahedronWhole) {
  const auto mesh = BuildMesh(halfedge_mesh::Tetrahedron());
  SimplifyMesh(mesh, 0);
  EXPECT_EQ(mesh->NFaces(), 4u);
  EXPECT_EQ(mesh->NVertices(), 4u);
  EXPECT_EQ(CheckInvariants(*mesh), "");
}

TEST(SimplifyMesh, HalvesASphereKeepingItClosedAndManifold) {
  const auto mesh = BuildMesh(halfedge_mesh::Icosphere(4));
  ASSERT_EQ(mesh->NFaces(), 5120u);
  SimplifyMesh(mesh, 2560);
  EXPECT_LE(mesh->NFaces(), 2560u);
  EXPECT_GT(mesh->NFaces(), 2000u);
  ASSERT_EQ(CheckInvariants(*mesh), "");
  EXPECT_EQ(EulerCharacteristic(*mesh), 2);
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) EXPECT_FALSE(mesh->GetEdge(e)->is_boundary());
  // Contractions move vertices along the surface, not off it.
  for (uint32_t v = 0; v < mesh->NVertices(); ++v) {
    EXPECT_NEAR(mesh->GetVertex(v)->position().norm(), 1.0, 0.02) << v;
  }
}

TEST(SimplifyMesh, ReducesOpenAndClosedMeshesFarKeepingThemSound) {
  for (const MeshArrays& arrays : {halfedge_mesh::TorusGrid(40, 30), Grid()}) {
    const auto mesh = BuildMesh(arrays);
    const int64_t euler = EulerCharacteristic(*mesh);
    const uint32_t target = mesh->NFaces() / 10;
    SimplifyMesh(mesh, target);
    EXPECT_LE(mesh->NFaces(), std::max(target, 8u));
    ASSERT_EQ(CheckInvariants(*mesh), "");
    EXPECT_EQ(EulerCharacteristic(*mesh), euler);
  }
}

TEST(SimplifyMesh, ReadsItsRefusalWeightFromTheFlags) {
  gflags::FlagSaver saver;
  // Every weight is at or above a refusal weight of 0: nothing is a candidate.
  FLAGS_mesh_max_angle_normal_weight = 0.0;
  const auto mesh = BuildMesh(halfedge_mesh::Icosphere(2));
  SimplifyMesh(mesh, 10);
  EXPECT_EQ(mesh->NFaces(), 320u);
}

TEST(MeshToolboxDeathTest, ChecksItsArguments) {
  const auto mesh = BuildMesh(Triangle());
  EXPECT_DEATH(SimplifyMesh(nullptr, 0), "Check failed: mesh ");
  EXPECT_DEATH(ComputeFaceQuadric(mesh, nullptr), "Check failed: face ");
  EXPECT_DEATH(ComputeContractionWeight(mesh, nullptr), "Check failed: edge_contr ");
  EXPECT_DEATH(ComputeEdgeContractor(mesh, QuadricTable(1), mesh->GetEdge(0)),
               "Check failed: vertex_mat_q.size\\(\\) == mesh->NVertices\\(\\) ");
}

}  // namespace
}  // namespace mesh_toolbox
