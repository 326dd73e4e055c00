// Quadric-error simplification of half-edge meshes, and its tuning flags.
#include "mesh-toolbox/mesh-toolbox.h"

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "candidate-queue.h"
#include "fan-prefetch.h"
#include "logging/ensure.h"

// Registered for applications that set it by name; this library merges no vertices and never
// reads it.
DEFINE_int32(merge_vertices_k_neighbors, 32,
             "How many neighbor vertices to consider when merging close vertices.");
DEFINE_double(max_mesh_angle_cos, 0.999, "Maximum mesh face angle cosine.");
DEFINE_double(mesh_edge_length_weight, 0.1, "Edge length weight for quadric error.");
DEFINE_double(mesh_max_angle_normal_weight, 1000000.0, "Maximum face angle/normal weight.");
DEFINE_double(min_mesh_normal_flip_cos, -0.999, "Minimum mesh face normal change cosine.");

namespace mesh_toolbox {

using halfedge_mesh::Edge;
using halfedge_mesh::Face;
using halfedge_mesh::Halfedge;
using halfedge_mesh::HalfedgeMesh;
using halfedge_mesh::Vertex;

namespace {

constexpr uint32_t kTriangleN = HalfedgeMesh::kTriangleN;

// The corners of one face loop, gathered without allocating.
struct Corners {
  void push_back(const Vertex* vertex) {
    if (count < kTriangleN) vertices[count] = vertex;
    ++count;
  }
  uint32_t size() const { return count; }

  const Vertex* vertices[kTriangleN] = {};
  uint32_t count = 0;
};

// A vertex quadric, which is symmetric, kept as its upper triangle: entry (i, j) and entry (j, i)
// are sums of the same products in the same order, so the full matrix comes back bit for bit.
class SymmetricQuadric {
 public:
  void SetZero() {
    for (double& value : upper_) value = 0.0;
  }
  // Adds the plane quadric p·pᵀ.
  void AddPlane(const Eigen::Vector4d& vec_p) {
    int k = 0;
    for (int i = 0; i < 4; ++i) {
      for (int j = i; j < 4; ++j) upper_[k++] += vec_p[j] * vec_p[i];
    }
  }
  // The full matrix of this + other.
  Eigen::Matrix4d Sum(const SymmetricQuadric& other) const {
    Eigen::Matrix4d q;
    int k = 0;
    for (int i = 0; i < 4; ++i) {
      for (int j = i; j < 4; ++j, ++k) q(i, j) = q(j, i) = upper_[k] + other.upper_[k];
    }
    return q;
  }

 private:
  double upper_[10];
};

// The neighbours of one vertex, in walk order; on the stack unless the vertex has very many.
class NeighborList {
 public:
  void push_back(const Vertex* vertex) {
    if (count_ < kInline) {
      inline_[count_] = vertex;
    } else {
      if (count_ == kInline) overflow_.assign(inline_, inline_ + kInline);
      overflow_.push_back(vertex);
    }
    ++count_;
  }
  bool contains(const Vertex* vertex) const {
    const Vertex* const* begin = count_ <= kInline ? inline_ : overflow_.data();
    return std::find(begin, begin + count_, vertex) != begin + count_;
  }

 private:
  static constexpr size_t kInline = 48;
  const Vertex* inline_[kInline];
  size_t count_ = 0;
  std::vector<const Vertex*> overflow_;
};

// The plane (n, -n·first corner) of a face with a unit normal, zero otherwise.
Eigen::Vector4d FacePlane(const Face& face, const Vertex& first_corner) {
  const Eigen::Vector3d& n = face.normal();
  if (n.hasNaN() || std::abs(n.norm() - 1.0) > 1e-8) return Eigen::Vector4d::Zero();
  Eigen::Vector4d vec_p;
  vec_p << n, -n.dot(first_corner.position());
  ENSURE(!vec_p.hasNaN());
  return vec_p;
}

Eigen::Vector4d FacePlane(const HalfedgeMesh& mesh, const std::shared_ptr<Face>& face) {
  Corners n_vertices;
  mesh.ForEachFaceVertex(
      face, [&](const std::shared_ptr<Vertex>& vertex) { n_vertices.push_back(vertex.get()); });
  ENSURE(n_vertices.size() == halfedge_mesh::HalfedgeMesh::kTriangleN);
  return FacePlane(*face, *n_vertices.vertices[0]);
}

// The faces around `vertex`; walks it without building a list.
uint32_t CountVertexFaces(const HalfedgeMesh& mesh, const std::shared_ptr<Vertex>& vertex) {
  uint32_t count = 0;
  mesh.ForEachVertexFace(vertex, [&](const std::shared_ptr<Face>&) { ++count; });
  return count;
}

}  // namespace

Eigen::Matrix4d ComputeFaceQuadric(const std::shared_ptr<HalfedgeMesh>& mesh,
                                   const std::shared_ptr<Face>& face) {
  ENSURE(mesh);
  ENSURE(face);
  const Eigen::Vector4d vec_p = FacePlane(*mesh, face);
  return vec_p * vec_p.transpose();
}

bool CanContractEdge(const std::shared_ptr<HalfedgeMesh>& mesh, const std::shared_ptr<Edge>& edge) {
  ENSURE(mesh);
  if (!edge || !edge->is_valid()) return false;
  const std::shared_ptr<Vertex>& s = edge->first_vertex();
  const std::shared_ptr<Vertex>& t = edge->second_vertex();
  if (s->is_boundary() && t->is_boundary() && !edge->is_boundary()) return false;

  uint32_t n_sides = 0;
  for (uint32_t i = 0; i < 2; ++i) {
    const std::shared_ptr<Halfedge>& halfedge = edge->halfedge(i);
    if (!halfedge) continue;
    ++n_sides;
    const std::shared_ptr<Halfedge>& next_halfedge = halfedge->next_halfedge();
    const std::shared_ptr<Halfedge>& prev_halfedge = halfedge->prev_halfedge();
    const std::shared_ptr<Vertex>& n_vertex = next_halfedge->to_vertex();
    ENSURE(n_vertex == prev_halfedge->from_vertex());
    if (next_halfedge->opposite_halfedge() && prev_halfedge->opposite_halfedge()) {
      const Vertex* a = prev_halfedge->opposite_halfedge()->prev_halfedge()->from_vertex().get();
      const Vertex* b = next_halfedge->opposite_halfedge()->next_halfedge()->to_vertex().get();
      if (a == b) return false;
    }
  }

  // The ends may share no neighbour but the third corners of the edge's own triangles: another
  // common neighbour would end up joined to the survivor by two edges, and the surface would no
  // longer be a manifold that later walks and contractions can rely on.
  NeighborList s_neighbors;
  mesh->ForEachVertexNeighbor(
      s, [&](const std::shared_ptr<Vertex>& neighbor) { s_neighbors.push_back(neighbor.get()); });
  uint32_t n_common = 0;
  mesh->ForEachVertexNeighbor(t, [&](const std::shared_ptr<Vertex>& neighbor) {
    if (neighbor == s) return;
    if (s_neighbors.contains(neighbor.get())) ++n_common;
  });
  return n_common == n_sides;
}

namespace {

// The shape weight of moving both ends of `edge` to `position`. With `stop_at_refusal`, returns
// as soon as the weight reaches a non-negative refusal weight: later triangles can only raise it,
// so the candidate is refused either way, and only whether it is refused matters to the caller.
double ContractionWeight(const HalfedgeMesh& mesh, const Edge& edge,
                         const Eigen::Vector3d& position, bool stop_at_refusal) {
  const double max_angle_cos = FLAGS_max_mesh_angle_cos;
  const double max_weight = FLAGS_mesh_max_angle_normal_weight;
  const double min_flip_cos = FLAGS_min_mesh_normal_flip_cos;
  const bool may_stop = stop_at_refusal && max_weight >= 0.0;
  const std::shared_ptr<Vertex>& s = edge.first_vertex();
  const std::shared_ptr<Vertex>& t = edge.second_vertex();
  const Face* f0 = edge.halfedge(0) ? edge.halfedge(0)->adjacent_face().get() : nullptr;
  const Face* f1 = edge.halfedge(1) ? edge.halfedge(1)->adjacent_face().get() : nullptr;

  double weight = 0.0;
  bool refused = false;
  auto weigh_face = [&](const std::shared_ptr<Face>& f, const Vertex* const* corners) {
    if (refused || f.get() == f0 || f.get() == f1) return;
    Eigen::Vector3d p[kTriangleN];
    for (uint32_t k = 0; k < kTriangleN; ++k) {
      const Vertex* corner = corners[k];
      p[k] = (corner == s.get() || corner == t.get()) ? position : corner->position();
    }
    // Unit sides u[k] = unit(p[k+1] - p[k]); the corner at k sees u[k] and -u[k+2], and negating
    // a vector before or after normalising gives the same bits. So do the lengths: |p1 - p0| is
    // side 0's, and |p2 - p0| is side 2's, whose components are the same up to sign.
    Eigen::Vector3d u[kTriangleN];
    double side_norm[kTriangleN];
    for (uint32_t k = 0; k < kTriangleN; ++k) {
      const Eigen::Vector3d side = p[(k + 1) % kTriangleN] - p[k];
      side_norm[k] = side.norm();
      u[k] = side / side_norm[k];
    }
    for (uint32_t k = 0; k < kTriangleN; ++k) {
      // A zero-length side gives a NaN cosine, which compares false and changes nothing.
      const double c = u[k].dot(-u[(k + 2) % kTriangleN]);
      if (c > max_angle_cos) {
        weight = max_weight;
      } else if (c > weight) {
        weight = c;
      }
    }
    const Eigen::Vector3d e1 = p[1] - p[0];
    const Eigen::Vector3d e2 = p[2] - p[0];
    const Eigen::Vector3d m = e1.cross(e2);
    const double m_norm = m.norm();
    if (side_norm[0] == 0.0 || side_norm[2] == 0.0 || m_norm == 0.0 || m.hasNaN()) {
      weight = max_weight;
    }
    if (f->normal().dot(m / m_norm) < min_flip_cos) weight = max_weight;
    refused = may_stop && weight >= max_weight;
  };
  mesh.ForEachVertexFaceCorners(s, weigh_face);
  if (!refused) mesh.ForEachVertexFaceCorners(t, weigh_face);
  ENSURE(weight >= 0);
  return weight;
}

}  // namespace

double ComputeContractionWeight(const std::shared_ptr<HalfedgeMesh>& mesh,
                                const std::shared_ptr<EdgeContractor>& edge_contr) {
  ENSURE(mesh);
  ENSURE(edge_contr);
  const std::shared_ptr<Edge>& edge = mesh->GetEdge(edge_contr->edge_id);
  ENSURE(edge);
  return ContractionWeight(*mesh, *edge, edge_contr->position, false);
}

double QuadricError(const Eigen::Matrix4d& quadric, const Eigen::Vector4d& v) {
  return v.dot(quadric * v);
}

namespace {

// ComputeEdgeContractor into a caller's candidate, with the summed quadric of the edge's ends
// from `sum_quadrics(s, t)`: false when the edge gets none.
template <typename SumQuadrics>
bool FillEdgeContractor(const std::shared_ptr<HalfedgeMesh>& mesh, const Edge& edge,
                        SumQuadrics&& sum_quadrics, Eigen::Vector3d* position, double* cost) {
  const Vertex& s = *edge.first_vertex();
  const Vertex& t = *edge.second_vertex();
  const Eigen::Matrix4d q = sum_quadrics(s, t);

  bool placed = false;
  if (!edge.is_boundary()) {
    Eigen::Matrix4d a = q;
    a.row(3) << 0.0, 0.0, 0.0, 1.0;
    if (std::abs(a.determinant()) >= 1e-8) {
      const Eigen::Vector4d w = a.inverse() * Eigen::Vector4d(0.0, 0.0, 0.0, 1.0);
      if (std::abs(w[3]) >= 1e-8) {
        *position = w.head<3>() / w[3];
        // A nearly singular system can put the optimum beyond what the exported single-precision
        // positions hold: such a position is treated like an unsolvable system.
        placed = position->cwiseAbs().maxCoeff() <= std::numeric_limits<float>::max();
      }
    }
  }
  if (!placed) *position = 0.5 * (s.position() + t.position());

  const double weight = ContractionWeight(*mesh, edge, *position, true);
  if (weight >= FLAGS_mesh_max_angle_normal_weight) return false;
  Eigen::Vector4d v;
  v << *position, 1.0;
  const double error = QuadricError(q, v);
  using std::isnan;
  ENSURE(!isnan(error));
  *cost = weight * (error + edge.length() * FLAGS_mesh_edge_length_weight);
  return true;
}

}  // namespace

std::shared_ptr<EdgeContractor> ComputeEdgeContractor(const std::shared_ptr<HalfedgeMesh>& mesh,
                                                      const QuadricTable& vertex_mat_q,
                                                      const std::shared_ptr<Edge>& edge) {
  ENSURE(mesh);
  ENSURE(edge);
  ENSURE(vertex_mat_q.size() == mesh->NVertices());
  if (!CanContractEdge(mesh, edge)) return nullptr;
  EdgeContractor edge_contr;
  edge_contr.edge_id = edge->id();
  edge_contr.valid = true;
  const auto sum_quadrics = [&](const Vertex& s, const Vertex& t) -> Eigen::Matrix4d {
    return vertex_mat_q[s.id()] + vertex_mat_q[t.id()];
  };
  if (!FillEdgeContractor(mesh, *edge, sum_quadrics, &edge_contr.position, &edge_contr.cost)) {
    return nullptr;
  }
  return halfedge_mesh::MakeElement<EdgeContractor>(edge_contr);
}

void SimplifyMesh(const std::shared_ptr<HalfedgeMesh>& mesh, uint32_t target_num_faces) {
  SimplifyMesh(mesh, target_num_faces, SimplifyProgress());
}

bool SimplifyMesh(const std::shared_ptr<HalfedgeMesh>& mesh, uint32_t target_num_faces,
                  const SimplifyProgress& progress) {
  ENSURE(mesh);
  if (target_num_faces >= mesh->NFaces()) return !progress || progress(1.0f);
  if (progress && !progress(0.0f)) return false;

  // Face quadrics are only ever summed into vertex quadrics, and recomputed before they are
  // summed again: keeping each face's plane instead of its 4x4 product takes a quarter of the
  // memory and rebuilds the same product bit for bit.
  std::vector<SymmetricQuadric> vertex_mat_q(mesh->NVertices());
  {
    std::vector<Eigen::Vector4d, Eigen::aligned_allocator<Eigen::Vector4d>> face_planes(
        mesh->NFaces());
    for (uint32_t i = 0; i < mesh->NFaces(); ++i) {
      const std::shared_ptr<Face>& face = mesh->GetFace(i);
      ENSURE(face);
      face_planes[i] = FacePlane(*mesh, face);
    }
    for (uint32_t i = 0; i < mesh->NVertices(); ++i) {
      SymmetricQuadric& q = vertex_mat_q[i];
      q.SetZero();
      mesh->ForEachVertexFace(mesh->GetVertex(i), [&](const std::shared_ptr<Face>& f) {
        q.AddPlane(face_planes[f->id()]);
      });
    }
  }
  const auto sum_quadrics = [&](const Vertex& s, const Vertex& t) {
    return vertex_mat_q[s.id()].Sum(vertex_mat_q[t.id()]);
  };

  CandidateTable candidates(mesh->NEdges());
  CandidateHeap heap;
  heap.reserve(size_t{2} * mesh->NEdges());
  // The candidate of one edge, computed afresh, replaces whatever the edge had.
  const auto recompute = [&](const std::shared_ptr<Edge>& edge) {
    Eigen::Vector3d position;
    double cost;
    if (CanContractEdge(mesh, edge) &&
        FillEdgeContractor(mesh, *edge, sum_quadrics, &position, &cost)) {
      candidates.Assign(edge->id(), position, cost, &heap);
    } else {
      candidates.Remove(edge->id());
    }
  };
  for (uint32_t i = 0; i < mesh->NEdges(); ++i) {
    const std::shared_ptr<Edge>& edge = mesh->GetEdge(i);
    ENSURE(edge);
    recompute(edge);
  }

  uint32_t face_count = mesh->NFaces();
  // Progress is told in steps of a hundredth of the reduction, never on every contraction.
  const uint32_t initial_face_count = face_count;
  const double reduction = static_cast<double>(initial_face_count - target_num_faces);
  float next_report = 0.01f;
  FanPrefetcher prefetcher;
  while (!heap.empty()) {
    if (target_num_faces >= face_count) {
      heap.clear();
      break;
    }
    if (progress) {
      const auto done =
          static_cast<float>(static_cast<double>(initial_face_count - face_count) / reduction);
      if (done >= next_report) {
        if (!progress(done)) return false;
        next_report = done + 0.01f;
      }
    }
    const CandidateHeap::Entry top = heap.Pop();
    const CandidateSlot* candidate = candidates.Current(top);
    if (candidate == nullptr) continue;
    const Eigen::Vector3d position = candidate->position;
    // Edge ids stay put until the compaction at the end.
    const std::shared_ptr<Edge>& edge = mesh->GetEdge(top.edge_id);
    if (!CanContractEdge(mesh, edge)) continue;
    // From here on, the contraction and the candidates recomputed around the survivor walk the
    // fans of every neighbour of both ends.
    for (const std::shared_ptr<Vertex>* end : {&edge->first_vertex(), &edge->second_vertex()}) {
      mesh->ForEachVertexNeighbor(
          *end, [&](const std::shared_ptr<Vertex>& neighbor) { prefetcher.Add(neighbor.get()); });
    }
    prefetcher.Run();

    for (uint32_t i = 0; i < 2; ++i) {
      const std::shared_ptr<Vertex>& end = i == 0 ? edge->first_vertex() : edge->second_vertex();
      mesh->ForEachVertexEdge(
          end, [&](const std::shared_ptr<Edge>& e) { candidates.Invalidate(e->id()); });
      face_count -= CountVertexFaces(*mesh, end);
      const std::shared_ptr<Halfedge>& halfedge = edge->halfedge(i);
      if (halfedge && halfedge->adjacent_face()) ++face_count;
    }

    const std::shared_ptr<Vertex> survivor = mesh->ContractEdge(edge, position);
    if (!survivor) continue;
    SymmetricQuadric& q = vertex_mat_q[survivor->id()];
    q.SetZero();
    mesh->ForEachVertexFaceCorners(
        survivor, [&](const std::shared_ptr<Face>& f, const Vertex* const* corners) {
          q.AddPlane(FacePlane(*f, *corners[0]));
        });
    mesh->ForEachVertexEdge(survivor, [&](const std::shared_ptr<Edge>& e) {
      if (e->is_valid()) {
        recompute(e);
      } else {
        candidates.Invalidate(e->id());
      }
    });
    face_count += CountVertexFaces(*mesh, survivor);
  }
  mesh->RemoveInvalidElements();
  return !progress || progress(1.0f);
}

}  // namespace mesh_toolbox
