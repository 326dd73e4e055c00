// The half-edge structure: walks, element access, compaction, normals, box, export and release.
#include "halfedge-mesh/halfedge-mesh.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <set>

#include "halfedge-mesh/mesh-test-support.h"
#include "logging/log-capture.h"

namespace halfedge_mesh {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A fan of three triangles around vertex 0, open between vertices 1 and 4.
MeshArrays OpenFan() {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}};
  arrays.faces = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
  return arrays;
}

// Every element reachable from the mesh, held weakly: expired once nothing keeps it alive.
struct WeakElements {
  std::vector<std::weak_ptr<Vertex>> vertices;
  std::vector<std::weak_ptr<Halfedge>> halfedges;
  std::vector<std::weak_ptr<Edge>> edges;
  std::vector<std::weak_ptr<Face>> faces;

  size_t Alive() const {
    size_t alive = 0;
    for (const auto& w : vertices) alive += !w.expired();
    for (const auto& w : halfedges) alive += !w.expired();
    for (const auto& w : edges) alive += !w.expired();
    for (const auto& w : faces) alive += !w.expired();
    return alive;
  }
};

WeakElements Observe(const HalfedgeMesh& mesh) {
  WeakElements weak;
  for (uint32_t i = 0; i < mesh.NVertices(); ++i) weak.vertices.push_back(mesh.GetVertex(i));
  for (uint32_t i = 0; i < mesh.NEdges(); ++i) {
    weak.edges.push_back(mesh.GetEdge(i));
    for (uint32_t order = 0; order < 2; ++order) {
      if (mesh.GetEdge(i)->halfedge(order))
        weak.halfedges.push_back(mesh.GetEdge(i)->halfedge(order));
    }
  }
  for (uint32_t i = 0; i < mesh.NFaces(); ++i) weak.faces.push_back(mesh.GetFace(i));
  return weak;
}

TEST(HalfedgeMeshWalks, AClosedTetrahedronHasNoBoundaryAndThreeElementsAroundEachVertex) {
  const auto mesh = BuildMesh(Tetrahedron());
  ASSERT_EQ(CheckInvariants(*mesh), "");
  EXPECT_EQ(mesh->NVertices(), 4u);
  EXPECT_EQ(mesh->NEdges(), 6u);
  EXPECT_EQ(mesh->NHalfedges(), 12u);
  EXPECT_EQ(mesh->NFaces(), 4u);
  for (uint32_t e = 0; e < mesh->NEdges(); ++e) {
    EXPECT_TRUE(mesh->GetEdge(e)->halfedge(0) && mesh->GetEdge(e)->halfedge(1)) << e;
    EXPECT_FALSE(mesh->GetEdge(e)->is_boundary());
  }
  for (uint32_t v = 0; v < mesh->NVertices(); ++v) {
    const std::shared_ptr<Vertex>& vertex = mesh->GetVertex(v);
    EXPECT_FALSE(vertex->is_boundary());
    const auto out = mesh->GetVertexOutHalfedges(vertex);
    const auto edges = mesh->GetVertexEdges(vertex);
    const auto faces = mesh->GetVertexFaces(vertex);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(edges.size(), 3u);
    EXPECT_EQ(faces.size(), 3u);
    EXPECT_EQ(out.front(), vertex->out_halfedge());
    std::set<Halfedge*> distinct_out;
    for (const auto& h : out) {
      EXPECT_EQ(h->from_vertex(), vertex);
      distinct_out.insert(h.get());
    }
    EXPECT_EQ(distinct_out.size(), 3u);
    EXPECT_EQ(std::set<Face*>({faces[0].get(), faces[1].get(), faces[2].get()}).size(), 3u);
  }
  for (uint32_t f = 0; f < mesh->NFaces(); ++f) {
    EXPECT_EQ(mesh->GetFaceVertices(mesh->GetFace(f)).size(), 3u);
  }
}

TEST(HalfedgeMeshWalks, AnOpenFanGivesOneEdgeMoreThanFacesEndingWithTheOutHalfedgesEdge) {
  const auto mesh = BuildMesh(OpenFan());
  ASSERT_EQ(CheckInvariants(*mesh), "");
  const std::shared_ptr<Vertex>& center = mesh->GetVertex(0);
  EXPECT_TRUE(center->is_boundary());
  EXPECT_FALSE(center->out_halfedge()->opposite_halfedge());
  const auto faces = mesh->GetVertexFaces(center);
  const auto edges = mesh->GetVertexEdges(center);
  const auto out = mesh->GetVertexOutHalfedges(center);
  EXPECT_EQ(faces.size(), 3u);
  EXPECT_EQ(out.size(), 3u);
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_EQ(edges.back(), center->out_halfedge()->edge());
  EXPECT_EQ(
      std::set<Edge*>({edges[0].get(), edges[1].get(), edges[2].get(), edges[3].get()}).size(), 4u);
  for (uint32_t v = 1; v < mesh->NVertices(); ++v) {
    EXPECT_TRUE(mesh->GetVertex(v)->is_boundary()) << v;
  }
}

TEST(HalfedgeMeshWalks, FaceCornersFromTheFanAreTheFacesLoopOrder) {
  // Faces around a vertex begin their loops at every one of their three corners somewhere here,
  // closed and open fans alike.
  for (const MeshArrays& arrays : {TorusGrid(5, 4), Icosphere(1), OpenFan()}) {
    const auto mesh = BuildMesh(arrays);
    for (uint32_t v = 0; v < mesh->NVertices(); ++v) {
      const auto& vertex = mesh->GetVertex(v);
      std::vector<std::shared_ptr<Face>> faces;
      mesh->ForEachVertexFaceCorners(
          vertex, [&](const std::shared_ptr<Face>& face, const Vertex* const* corners) {
            faces.push_back(face);
            const auto loop = mesh->GetFaceVertices(face);
            ASSERT_EQ(loop.size(), 3u);
            for (int k = 0; k < 3; ++k) EXPECT_EQ(corners[k], loop[k].get()) << v << " " << k;
          });
      EXPECT_EQ(faces, mesh->GetVertexFaces(vertex)) << v;
    }
  }
}

TEST(HalfedgeMeshAccess, GetVertexOutOfRangeOrRemovedLogsAnErrorLine) {
  const auto mesh = BuildMesh(Tetrahedron());
  ElementAccess::Remove(mesh->GetVertex(2).get());
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  EXPECT_FALSE(mesh->GetVertex(4));
  EXPECT_FALSE(mesh->GetVertex(2));
  EXPECT_THAT(capture.Texts(),
              ElementsAre("Vertex index 4 out of bounds.", "Invalid vertex with id 2"));
}

TEST(HalfedgeMeshAccess, GetEdgeAndGetFaceReturnEmptySilently) {
  const auto mesh = BuildMesh(Tetrahedron());
  mesh->GetEdge(1)->invalidate();
  ElementAccess::Remove(mesh->GetFace(3).get());
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  EXPECT_FALSE(mesh->GetEdge(mesh->NEdges()));
  EXPECT_FALSE(mesh->GetFace(mesh->NFaces()));
  EXPECT_FALSE(mesh->GetEdge(1));
  EXPECT_FALSE(mesh->GetFace(3));
  EXPECT_TRUE(mesh->GetEdge(0));
  EXPECT_THAT(capture.Texts(), IsEmpty());
}

TEST(HalfedgeMeshAccess, AWalkAroundAVertexWithoutOutHalfedgeWarnsAndIsEmpty) {
  auto vertex = MakeElement<Vertex>(7u, Eigen::Vector3d::Zero());
  HalfedgeMesh mesh;
  logging::LogCapture capture;
  capture.Clear();  // drops lines of earlier statements still on their way
  EXPECT_THAT(mesh.GetVertexEdges(vertex), IsEmpty());
  mesh.UpdateVertexOutHalfedge(vertex);
  EXPECT_FALSE(vertex->is_valid());
  EXPECT_THAT(capture.Texts(), ElementsAre("Warning: Isolated vertex (Vertex ID = 7).",
                                           "Warning: Isolated vertex (Vertex ID = 7). Deleted."));
}

// Two triangles on the edge 1-2; the second one, its half-edges and vertex 3 are removed.
TEST(RemoveInvalidElements, RenumbersSurvivorsAndEmptiesAnEdgesRemovedHalfedge) {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  arrays.faces = {{0, 1, 2}, {2, 1, 3}};
  const auto mesh = BuildMesh(arrays);
  ASSERT_EQ(CheckInvariants(*mesh), "");
  const WeakElements weak = Observe(*mesh);
  ASSERT_EQ(weak.Alive(), 4u + 6u + 5u + 2u);
  std::shared_ptr<Face> removed_face = mesh->GetFace(1);
  std::shared_ptr<Edge> shared_edge;
  for (const auto& h :
       {removed_face->adjacent_halfedge(), removed_face->adjacent_halfedge()->next_halfedge(),
        removed_face->adjacent_halfedge()->prev_halfedge()}) {
    if (h->opposite_halfedge()) {
      shared_edge = h->edge();
      ElementAccess::Remove(h.get());
    } else {
      h->edge()->invalidate();
    }
  }
  ElementAccess::Remove(removed_face.get());
  removed_face.reset();
  ElementAccess::Remove(mesh->GetVertex(3).get());
  // Rewire the kept triangle as an edit would: it links to nothing removed.
  const std::shared_ptr<Face>& kept_face = mesh->GetFace(0);
  for (const auto& h :
       {kept_face->adjacent_halfedge(), kept_face->adjacent_halfedge()->next_halfedge(),
        kept_face->adjacent_halfedge()->prev_halfedge()}) {
    ElementAccess::SetOutHalfedge(h->from_vertex().get(), h);
    ElementAccess::ClearOpposite(h.get());
  }
  ASSERT_TRUE(shared_edge);

  mesh->RemoveInvalidElements();

  EXPECT_EQ(mesh->NVertices(), 3u);
  EXPECT_EQ(mesh->NEdges(), 3u);
  EXPECT_EQ(mesh->NHalfedges(), 3u);
  EXPECT_EQ(mesh->NFaces(), 1u);
  ASSERT_EQ(CheckInvariants(*mesh), "");
  const auto& loop = mesh->GetFace(0)->adjacent_halfedge();
  EXPECT_EQ(
      std::set<uint32_t>({loop->id(), loop->next_halfedge()->id(), loop->prev_halfedge()->id()}),
      std::set<uint32_t>({0, 1, 2}));
  EXPECT_TRUE(shared_edge->halfedge(0) || shared_edge->halfedge(1));
  EXPECT_FALSE(shared_edge->halfedge(0) && shared_edge->halfedge(1));
  EXPECT_TRUE(shared_edge->is_valid());
  // What was dropped is released: one vertex, three half-edges, two edges, one face.
  EXPECT_EQ(weak.Alive(), 3u + 3u + 3u + 1u);
}

TEST(ComputeFaceNormal, IsUnitForATriangleAndZeroForDegenerateOnes) {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {2, 0, 0},  {0, 2, 0},    // right-angled
                     {5, 0, 0}, {5, 0, 0},  {5, 1, 0},    // two equal corners
                     {9, 0, 0}, {10, 1, 1}, {11, 2, 2}};  // collinear
  arrays.faces = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}};
  const auto mesh = BuildMesh(arrays);
  ASSERT_EQ(mesh->NFaces(), 3u);
  EXPECT_TRUE(mesh->GetFace(0)->normal().isApprox(Eigen::Vector3d(0, 0, 1)));
  EXPECT_EQ(mesh->GetFace(1)->normal(), Eigen::Vector3d::Zero());
  EXPECT_EQ(mesh->GetFace(2)->normal(), Eigen::Vector3d::Zero());
}

TEST(HalfedgeMeshEmpty, BoundingBoxStaysAtTheLimitsAndExportWritesNothing) {
  HalfedgeMesh mesh;
  mesh.ComputeBoundingBox();
  EXPECT_EQ(mesh.bbox_min(), Eigen::Vector3d::Constant(std::numeric_limits<double>::max()));
  EXPECT_EQ(mesh.bbox_max(), Eigen::Vector3d::Constant(-std::numeric_limits<double>::max()));
  float vertex[1][3] = {{7, 7, 7}};
  uint32_t face[1][3] = {{7, 7, 7}};
  mesh.ExportToArrays(vertex, face, nullptr, nullptr);
  EXPECT_THAT(vertex[0], ElementsAre(7, 7, 7));
  EXPECT_THAT(face[0], ElementsAre(7u, 7u, 7u));
}

TEST(HalfedgeMeshBoundingBox, CoversEveryVertex) {
  const auto mesh = BuildMesh(OpenFan());
  EXPECT_EQ(mesh->bbox_min(), Eigen::Vector3d(-1, 0, 0));
  EXPECT_EQ(mesh->bbox_max(), Eigen::Vector3d(1, 1, 0));
}

TEST(ExportToArrays, GivesZeroAttributesForAMeshBuiltWithoutThem) {
  const auto mesh = BuildMesh(Tetrahedron());
  const MeshArrays exported = ExportMesh(*mesh, /*with_normals=*/true, /*with_colors=*/true);
  EXPECT_EQ(exported.vertices, Tetrahedron().vertices);
  EXPECT_EQ(exported.faces, Tetrahedron().faces);
  for (const auto& normal : exported.normals) EXPECT_THAT(normal, ElementsAre(0, 0, 0));
  for (const auto& color : exported.colors) EXPECT_THAT(color, ElementsAre(0, 0, 0, 0));
}

TEST(ExportToArrays, CarriesNormalsAndColoursOfTheInput) {
  MeshArrays arrays = Tetrahedron();
  arrays.normals = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5f, 0.25f, 0.125f}};
  arrays.colors = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 255}};
  const MeshArrays exported = ExportMesh(*BuildMesh(arrays), true, true);
  EXPECT_EQ(exported.normals, arrays.normals);
  EXPECT_EQ(exported.colors, arrays.colors);
}

TEST(HalfedgeMeshRelease, ClearReleasesEveryElement) {
  const auto mesh = BuildMesh(Icosphere(1));
  const WeakElements weak = Observe(*mesh);
  ASSERT_EQ(weak.Alive(), 42u + 240u + 120u + 80u);
  mesh->Clear();
  EXPECT_EQ(weak.Alive(), 0u);
  EXPECT_EQ(mesh->NVertices() + mesh->NHalfedges() + mesh->NEdges() + mesh->NFaces(), 0u);
}

TEST(HalfedgeMeshRelease, DestructionReleasesEverythingButWhatAUserStillHolds) {
  auto mesh = BuildMesh(TorusGrid(6, 5));
  const WeakElements weak = Observe(*mesh);
  const std::shared_ptr<Vertex> held = mesh->GetVertex(3);
  mesh.reset();
  EXPECT_EQ(weak.Alive(), 1u);
  EXPECT_FALSE(held->out_halfedge());
}

TEST(HalfedgeMeshRelease, RebuildingReleasesThePreviousElements) {
  const auto mesh = BuildMesh(TorusGrid(6, 5));
  const WeakElements weak = Observe(*mesh);
  const MeshArrays tetrahedron = Tetrahedron();
  mesh->BuildFromArrays(reinterpret_cast<const float(*)[3]>(tetrahedron.vertices.data()),
                        reinterpret_cast<const uint32_t(*)[3]>(tetrahedron.faces.data()), nullptr,
                        nullptr, 4, 4);
  EXPECT_EQ(weak.Alive(), 0u);
  EXPECT_EQ(CheckInvariants(*mesh), "");
}

TEST(HalfedgeMeshDeathTest, ChecksItsPreconditions) {
  const auto mesh = BuildMesh(Tetrahedron());
  EXPECT_DEATH(mesh->GetFaceVertices(nullptr), "Check failed: face ");
  EXPECT_DEATH(mesh->ComputeFaceNormal(nullptr), "Check failed: face ");
  EXPECT_DEATH(mesh->UpdateVertexOutHalfedge(nullptr), "Check failed: vertex ");
  EXPECT_DEATH(mesh->GetVertexFaces(nullptr), "Check failed: vertex ");
  uint32_t faces[4][3];
  EXPECT_DEATH(mesh->ExportToArrays(nullptr, faces, nullptr, nullptr),
               "'vertices' Must be non NULL");
  float vertices[4][3];
  EXPECT_DEATH(mesh->ExportToArrays(vertices, nullptr, nullptr, nullptr),
               "'faces' Must be non NULL");
  EXPECT_DEATH(Edge(0, nullptr, nullptr), "Check failed: _halfedge_1 \\|\\| _halfedge_2 ");
  EXPECT_DEATH(mesh->GetEdge(0)->halfedge(2), "Check failed: _halfedge_order < 2u ");
  const auto vertex = mesh->GetVertex(0);
  EXPECT_DEATH(Halfedge(0, nullptr, vertex, mesh->GetFace(0)), "Check failed: _from_vertex ");
  EXPECT_DEATH(Halfedge(0, vertex, vertex, nullptr), "Check failed: _adjacent_face ");
  const std::shared_ptr<Edge> edge = mesh->GetEdge(0);
  edge->invalidate();
  EXPECT_DEATH(edge->is_boundary(), "Check failed: is_valid\\(\\) ");
}

}  // namespace
}  // namespace halfedge_mesh
