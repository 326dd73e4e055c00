// The simplifier against a step-by-step version of the same algorithm, written for clarity with
// the mesh's list walks and shared candidates: the fast loop must give the same mesh to the bit.
#include <gflags/gflags.h>
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "halfedge-mesh/mesh-test-support.h"
#include "mesh-toolbox/mesh-toolbox.h"

namespace mesh_toolbox {
namespace {

using halfedge_mesh::BuildMesh;
using halfedge_mesh::Edge;
using halfedge_mesh::Face;
using halfedge_mesh::HalfedgeMesh;
using halfedge_mesh::MeshArrays;
using halfedge_mesh::Vertex;
using Candidate = std::shared_ptr<EdgeContractor>;

Eigen::Matrix4d ReferenceFaceQuadric(const HalfedgeMesh& mesh, const std::shared_ptr<Face>& face) {
  const Eigen::Vector3d& n = face->normal();
  if (n.hasNaN() || std::abs(n.norm() - 1.0) > 1e-8) return Eigen::Matrix4d::Zero();
  Eigen::Vector4d vec_p;
  vec_p << n, -n.dot(mesh.GetFaceVertices(face)[0]->position());
  return vec_p * vec_p.transpose();
}

Eigen::Matrix4d ReferenceVertexQuadric(const HalfedgeMesh& mesh,
                                       const std::shared_ptr<Vertex>& vertex) {
  Eigen::Matrix4d q = Eigen::Matrix4d::Zero();
  for (const auto& face : mesh.GetVertexFaces(vertex)) q += ReferenceFaceQuadric(mesh, face);
  return q;
}

std::vector<std::shared_ptr<Vertex>> Neighbors(const HalfedgeMesh& mesh,
                                               const std::shared_ptr<Vertex>& vertex) {
  std::vector<std::shared_ptr<Vertex>> neighbors;
  for (const auto& edge : mesh.GetVertexEdges(vertex)) {
    std::shared_ptr<Vertex> a, b;
    edge->vertices(&a, &b);
    neighbors.push_back(a == vertex ? b : a);
  }
  return neighbors;
}

bool ReferenceCanContract(const HalfedgeMesh& mesh, const std::shared_ptr<Edge>& edge) {
  if (!edge || !edge->is_valid()) return false;
  std::shared_ptr<Vertex> s, t;
  edge->vertices(&s, &t);
  if (s->is_boundary() && t->is_boundary() && !edge->is_boundary()) return false;
  uint32_t n_sides = 0;
  for (uint32_t i = 0; i < 2; ++i) {
    const auto& h = edge->halfedge(i);
    if (!h) continue;
    ++n_sides;
    const auto& next = h->next_halfedge();
    const auto& prev = h->prev_halfedge();
    if (next->opposite_halfedge() && prev->opposite_halfedge() &&
        prev->opposite_halfedge()->prev_halfedge()->from_vertex() ==
            next->opposite_halfedge()->next_halfedge()->to_vertex()) {
      return false;
    }
  }
  const auto s_neighbors = Neighbors(mesh, s);
  uint32_t n_common = 0;
  for (const auto& neighbor : Neighbors(mesh, t)) {
    if (neighbor == s) continue;
    for (const auto& candidate : s_neighbors) {
      if (candidate == neighbor) {
        ++n_common;
        break;
      }
    }
  }
  return n_common == n_sides;
}

Eigen::Vector3d Unit(const Eigen::Vector3d& v) { return v / v.norm(); }

double ReferenceWeight(const HalfedgeMesh& mesh, const Edge& edge,
                       const Eigen::Vector3d& position) {
  std::shared_ptr<Vertex> s, t;
  edge.vertices(&s, &t);
  const Face* f0 = edge.halfedge(0) ? edge.halfedge(0)->adjacent_face().get() : nullptr;
  const Face* f1 = edge.halfedge(1) ? edge.halfedge(1)->adjacent_face().get() : nullptr;
  double weight = 0.0;
  for (const auto& v : {s, t}) {
    for (const auto& f : mesh.GetVertexFaces(v)) {
      if (f.get() == f0 || f.get() == f1) continue;
      Eigen::Vector3d p[3];
      const auto corners = mesh.GetFaceVertices(f);
      for (int k = 0; k < 3; ++k) {
        p[k] = (corners[k] == s || corners[k] == t) ? position : corners[k]->position();
      }
      for (int k = 0; k < 3; ++k) {
        const double c = Unit(p[(k + 1) % 3] - p[k]).dot(Unit(p[(k + 2) % 3] - p[k]));
        if (c > FLAGS_max_mesh_angle_cos) {
          weight = FLAGS_mesh_max_angle_normal_weight;
        } else if (c > weight) {
          weight = c;
        }
      }
      const Eigen::Vector3d e1 = p[1] - p[0];
      const Eigen::Vector3d e2 = p[2] - p[0];
      const Eigen::Vector3d m = e1.cross(e2);
      if (e1.norm() == 0.0 || e2.norm() == 0.0 || m.norm() == 0.0 || m.hasNaN()) {
        weight = FLAGS_mesh_max_angle_normal_weight;
      }
      if (f->normal().dot(Unit(m)) < FLAGS_min_mesh_normal_flip_cos) {
        weight = FLAGS_mesh_max_angle_normal_weight;
      }
    }
  }
  return weight;
}

Candidate ReferenceCandidate(const HalfedgeMesh& mesh, const std::vector<Eigen::Matrix4d>& quadrics,
                             const std::shared_ptr<Edge>& edge) {
  if (!ReferenceCanContract(mesh, edge)) return nullptr;
  std::shared_ptr<Vertex> s, t;
  edge->vertices(&s, &t);
  const Eigen::Matrix4d q = quadrics[s->id()] + quadrics[t->id()];
  auto candidate = std::make_shared<EdgeContractor>();
  candidate->edge_id = edge->id();
  bool placed = false;
  if (!edge->is_boundary()) {
    Eigen::Matrix4d a = q;
    a.row(3) << 0.0, 0.0, 0.0, 1.0;
    if (std::abs(a.determinant()) >= 1e-8) {
      const Eigen::Vector4d w = a.inverse() * Eigen::Vector4d(0.0, 0.0, 0.0, 1.0);
      if (std::abs(w[3]) >= 1e-8) {
        candidate->position = w.head<3>() / w[3];
        if (!(candidate->position.cwiseAbs().maxCoeff() <= std::numeric_limits<float>::max())) {
          return nullptr;
        }
        placed = true;
      }
    }
  }
  if (!placed) candidate->position = 0.5 * (s->position() + t->position());
  const double weight = ReferenceWeight(mesh, *edge, candidate->position);
  if (weight >= FLAGS_mesh_max_angle_normal_weight) return nullptr;
  Eigen::Vector4d v;
  v << candidate->position, 1.0;
  candidate->cost = weight * (v.dot(q * v) + edge->length() * FLAGS_mesh_edge_length_weight);
  return candidate;
}

// A binary min-heap with strict comparisons, sifting as the simplifier's does.
class ReferenceHeap {
 public:
  bool empty() const { return items_.empty(); }
  void Push(Candidate candidate) {
    items_.push_back(std::move(candidate));
    for (size_t child = items_.size() - 1; child > 0;) {
      const size_t parent = (child - 1) / 2;
      if (!(items_[child]->cost < items_[parent]->cost)) break;
      std::swap(items_[child], items_[parent]);
      child = parent;
    }
  }
  Candidate Pop() {
    Candidate top = items_.front();
    items_.front() = items_.back();
    items_.pop_back();
    for (size_t node = 0;;) {
      const size_t left = 2 * node + 1;
      size_t smallest = node;
      if (left < items_.size() && items_[left]->cost < items_[smallest]->cost) smallest = left;
      if (left + 1 < items_.size() && items_[left + 1]->cost < items_[smallest]->cost) {
        smallest = left + 1;
      }
      if (smallest == node) break;
      std::swap(items_[node], items_[smallest]);
      node = smallest;
    }
    return top;
  }

 private:
  std::vector<Candidate> items_;
};

void ReferenceSimplify(const std::shared_ptr<HalfedgeMesh>& mesh, uint32_t target) {
  if (target >= mesh->NFaces()) return;
  std::vector<Eigen::Matrix4d> quadrics(mesh->NVertices());
  for (uint32_t i = 0; i < mesh->NVertices(); ++i) {
    quadrics[i] = ReferenceVertexQuadric(*mesh, mesh->GetVertex(i));
  }
  std::vector<Candidate> table(mesh->NEdges());
  ReferenceHeap heap;
  for (uint32_t i = 0; i < mesh->NEdges(); ++i) {
    table[i] = ReferenceCandidate(*mesh, quadrics, mesh->GetEdge(i));
    if (table[i]) heap.Push(table[i]);
  }
  uint32_t face_count = mesh->NFaces();
  while (!heap.empty() && target < face_count) {
    const Candidate top = heap.Pop();
    if (!top->valid) continue;
    const std::shared_ptr<Edge> edge = mesh->GetEdge(top->edge_id);
    if (!ReferenceCanContract(*mesh, edge)) continue;
    std::shared_ptr<Vertex> ends[2];
    edge->vertices(&ends[0], &ends[1]);
    for (uint32_t i = 0; i < 2; ++i) {
      for (const auto& e : mesh->GetVertexEdges(ends[i])) {
        if (table[e->id()]) table[e->id()]->valid = false;
      }
      face_count -= static_cast<uint32_t>(mesh->GetVertexFaces(ends[i]).size());
      if (edge->halfedge(i) && edge->halfedge(i)->adjacent_face()) ++face_count;
    }
    const auto survivor = mesh->ContractEdge(edge, top->position);
    if (!survivor) continue;
    quadrics[survivor->id()] = ReferenceVertexQuadric(*mesh, survivor);
    for (const auto& e : mesh->GetVertexEdges(survivor)) {
      if (e->is_valid()) {
        table[e->id()] = ReferenceCandidate(*mesh, quadrics, e);
        if (table[e->id()]) heap.Push(table[e->id()]);
      } else if (table[e->id()]) {
        table[e->id()]->valid = false;
      }
    }
    face_count += static_cast<uint32_t>(mesh->GetVertexFaces(survivor).size());
  }
  mesh->RemoveInvalidElements();
}

// Moves every vertex by up to `amount` on each axis, reproducibly, so that costs rarely tie.
MeshArrays Jittered(MeshArrays arrays, float amount, uint32_t seed) {
  std::mt19937 engine(seed);
  for (auto& vertex : arrays.vertices) {
    for (float& coordinate : vertex) {
      coordinate += amount * (static_cast<float>(engine() >> 8) / 16777216.0f - 0.5f);
    }
  }
  return arrays;
}

// A grid over a bumpy height field with a few squares left out: boundaries inside and out.
MeshArrays HoledTerrain(uint32_t n) {
  MeshArrays arrays;
  for (uint32_t y = 0; y <= n; ++y) {
    for (uint32_t x = 0; x <= n; ++x) {
      const float height =
          0.3f * std::sin(0.7f * static_cast<float>(x)) * std::cos(0.45f * static_cast<float>(y));
      arrays.vertices.push_back({static_cast<float>(x), static_cast<float>(y), height});
    }
  }
  for (uint32_t y = 0; y < n; ++y) {
    for (uint32_t x = 0; x < n; ++x) {
      if ((x * 7 + y * 13) % 29 == 0) continue;
      const uint32_t v = (n + 1) * y + x;
      arrays.faces.push_back({v, v + 1, v + n + 2});
      arrays.faces.push_back({v, v + n + 2, v + n + 1});
    }
  }
  return arrays;
}

void ExpectSameAsReference(const MeshArrays& input, uint32_t target) {
  const auto fast = BuildMesh(input);
  const auto reference = BuildMesh(input);
  SimplifyMesh(fast, target);
  ReferenceSimplify(reference, target);
  const MeshArrays fast_out = ExportMesh(*fast, true, true);
  const MeshArrays reference_out = ExportMesh(*reference, true, true);
  ASSERT_EQ(fast_out.faces.size(), reference_out.faces.size()) << "target " << target;
  EXPECT_LT(fast_out.faces.size(), input.faces.size());
  EXPECT_EQ(fast_out.faces, reference_out.faces) << "target " << target;
  // Positions compared as bits: the same arithmetic in the same order.
  ASSERT_EQ(fast_out.vertices.size(), reference_out.vertices.size());
  for (size_t v = 0; v < fast_out.vertices.size(); ++v) {
    for (int axis = 0; axis < 3; ++axis) {
      ASSERT_EQ(
          std::memcmp(&fast_out.vertices[v][axis], &reference_out.vertices[v][axis], sizeof(float)),
          0)
          << "vertex " << v << " target " << target;
    }
  }
}

TEST(SimplifyMesh, GivesExactlyTheStepByStepResult) {
  const MeshArrays meshes[] = {
      Jittered(halfedge_mesh::TorusGrid(40, 30), 0.01f, 1),
      Jittered(halfedge_mesh::Icosphere(4), 0.02f, 2), HoledTerrain(40),
      halfedge_mesh::TorusGrid(24, 20),  // many equal costs: the heap's order decides
  };
  for (const MeshArrays& input : meshes) {
    const uint32_t n_faces = static_cast<uint32_t>(input.faces.size());
    for (uint32_t target : {n_faces / 2, n_faces / 10, n_faces / 100}) {
      ExpectSameAsReference(input, target);
    }
  }
}

TEST(SimplifyMesh, GivesExactlyTheStepByStepResultUnderOtherFlags) {
  gflags::FlagSaver saver;
  // A refusal weight below some corner cosines refuses more, and weighs the rest differently.
  FLAGS_mesh_max_angle_normal_weight = 0.8;
  ExpectSameAsReference(Jittered(HoledTerrain(30), 0.05f, 3), 300);
  FLAGS_mesh_max_angle_normal_weight = 1000000.0;
  FLAGS_max_mesh_angle_cos = 0.95;
  FLAGS_min_mesh_normal_flip_cos = 0.2;
  FLAGS_mesh_edge_length_weight = 3.0;
  ExpectSameAsReference(HoledTerrain(30), 100);
}

}  // namespace
}  // namespace mesh_toolbox
