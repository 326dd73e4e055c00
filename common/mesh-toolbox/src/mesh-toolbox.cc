// Quadric-error simplification of half-edge meshes, and its tuning flags.
#include "mesh-toolbox/mesh-toolbox.h"

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <cmath>
#include <limits>
#include <utility>

#include "logging/ensure.h"

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

// The binary min-heap of candidates by cost, with strict comparisons and no second key, so that
// candidates of equal cost leave in the order these rules give. An entry names its candidate by
// edge id and a stamp instead of holding it: a candidate is stale exactly when its flag is clear
// or the edge's table entry has been replaced since, so stale candidates need not stay alive in
// the heap, and sifting compares small neighbouring entries without visiting the candidates.
class CandidateHeap {
 public:
  struct Entry {
    double cost;
    uint32_t edge_id;
    uint32_t stamp;
  };

  void reserve(size_t n) { items_.reserve(n); }
  bool empty() const { return items_.empty(); }
  void clear() { items_.clear(); }

  void Push(const Entry& entry) {
    items_.push_back(entry);
    size_t child = items_.size() - 1;
    while (child > 0) {
      const size_t parent = (child - 1) / 2;
      if (!(items_[child].cost < items_[parent].cost)) break;
      std::swap(items_[child], items_[parent]);
      child = parent;
    }
  }

  Entry Pop() {
    const Entry top = items_.front();
    items_.front() = items_.back();
    items_.pop_back();
    const size_t n = items_.size();
    size_t node = 0;
    for (;;) {
      const size_t left = 2 * node + 1;
      const size_t right = left + 1;
      size_t smallest = node;
      if (left < n && items_[left].cost < items_[smallest].cost) smallest = left;
      if (right < n && items_[right].cost < items_[smallest].cost) smallest = right;
      if (smallest == node) break;
      std::swap(items_[node], items_[smallest]);
      node = smallest;
    }
    return top;
  }

 private:
  std::vector<Entry> items_;
};

// One candidate per edge id; every assignment gets a fresh stamp for the heap entry it pushes.
class CandidateTable {
 public:
  explicit CandidateTable(uint32_t n_edges) : candidates_(n_edges), stamps_(n_edges, 0) {}

  std::shared_ptr<EdgeContractor>& operator[](uint32_t edge_id) { return candidates_[edge_id]; }

  // Stores the candidate of `edge_id` (possibly empty) and queues it when it exists.
  void Assign(uint32_t edge_id, std::shared_ptr<EdgeContractor> candidate, CandidateHeap* heap) {
    stamps_[edge_id] = ++last_stamp_;
    if (candidate) heap->Push({candidate->cost, edge_id, last_stamp_});
    candidates_[edge_id] = std::move(candidate);
  }

  // Assign(edge_id, ComputeEdgeContractor(mesh, vertex_mat_q, edge)) that reuses the memory of the
  // edge's previous candidate: by now it is stale, and nothing but this table holds it.
  void Recompute(const std::shared_ptr<HalfedgeMesh>& mesh, const QuadricTable& vertex_mat_q,
                 const std::shared_ptr<Edge>& edge, CandidateHeap* heap);

  // The candidate a heap entry was pushed for, or nullptr when it went stale.
  const EdgeContractor* Current(const CandidateHeap::Entry& entry) const {
    const EdgeContractor* candidate = candidates_[entry.edge_id].get();
    if (candidate == nullptr || stamps_[entry.edge_id] != entry.stamp || !candidate->valid) {
      return nullptr;
    }
    return candidate;
  }

 private:
  std::vector<std::shared_ptr<EdgeContractor>> candidates_;
  std::vector<uint32_t> stamps_;
  uint32_t last_stamp_ = 0;
};

bool FillEdgeContractor(const std::shared_ptr<HalfedgeMesh>& mesh, const QuadricTable& vertex_mat_q,
                        const std::shared_ptr<Edge>& edge, EdgeContractor* edge_contr);

void CandidateTable::Recompute(const std::shared_ptr<HalfedgeMesh>& mesh,
                               const QuadricTable& vertex_mat_q, const std::shared_ptr<Edge>& edge,
                               CandidateHeap* heap) {
  ENSURE(mesh);
  ENSURE(edge);
  ENSURE(vertex_mat_q.size() == mesh->NVertices());
  const uint32_t edge_id = edge->id();
  std::shared_ptr<EdgeContractor>& slot = candidates_[edge_id];
  EdgeContractor fresh;
  stamps_[edge_id] = ++last_stamp_;
  if (!FillEdgeContractor(mesh, vertex_mat_q, edge, &fresh)) {
    slot.reset();
    return;
  }
  if (slot && slot.use_count() == 1) {
    *slot = fresh;
  } else {
    slot = halfedge_mesh::MakeElement<EdgeContractor>(fresh);
  }
  heap->Push({slot->cost, edge_id, last_stamp_});
}

// The plane (n, -n·corner) of a face with a unit normal, zero otherwise.
Eigen::Vector4d FacePlane(const HalfedgeMesh& mesh, const std::shared_ptr<Face>& face) {
  const Eigen::Vector3d& n = face->normal();
  if (n.hasNaN() || std::abs(n.norm() - 1.0) > 1e-8) return Eigen::Vector4d::Zero();
  Corners n_vertices;
  mesh.ForEachFaceVertex(
      face, [&](const std::shared_ptr<Vertex>& vertex) { n_vertices.push_back(vertex.get()); });
  ENSURE(n_vertices.size() == halfedge_mesh::HalfedgeMesh::kTriangleN);
  Eigen::Vector4d vec_p;
  vec_p << n, -n.dot(n_vertices.vertices[0]->position());
  ENSURE(!vec_p.hasNaN());
  return vec_p;
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
  thread_local std::vector<const Vertex*> s_neighbors;
  s_neighbors.clear();
  mesh->ForEachVertexNeighbor(
      s, [&](const std::shared_ptr<Vertex>& neighbor) { s_neighbors.push_back(neighbor.get()); });
  uint32_t n_common = 0;
  mesh->ForEachVertexNeighbor(t, [&](const std::shared_ptr<Vertex>& neighbor) {
    if (neighbor == s) return;
    for (const Vertex* candidate : s_neighbors) {
      if (candidate == neighbor.get()) {
        ++n_common;
        break;
      }
    }
  });
  return n_common == n_sides;
}

namespace {

double ContractionWeight(const std::shared_ptr<HalfedgeMesh>& mesh,
                         const EdgeContractor* edge_contr) {
  const std::shared_ptr<Edge>& edge = mesh->GetEdge(edge_contr->edge_id);
  ENSURE(edge);
  const double max_angle_cos = FLAGS_max_mesh_angle_cos;
  const double max_weight = FLAGS_mesh_max_angle_normal_weight;
  const double min_flip_cos = FLAGS_min_mesh_normal_flip_cos;
  const std::shared_ptr<Vertex>& s = edge->first_vertex();
  const std::shared_ptr<Vertex>& t = edge->second_vertex();
  const Face* f0 = edge->halfedge(0) ? edge->halfedge(0)->adjacent_face().get() : nullptr;
  const Face* f1 = edge->halfedge(1) ? edge->halfedge(1)->adjacent_face().get() : nullptr;
  const Eigen::Vector3d& position = edge_contr->position;

  double weight = 0.0;
  auto weigh_face = [&](const std::shared_ptr<Face>& f) {
    if (f.get() == f0 || f.get() == f1) return;
    Corners nn_vertices;
    mesh->ForEachFaceVertex(
        f, [&](const std::shared_ptr<Vertex>& vertex) { nn_vertices.push_back(vertex.get()); });
    ENSURE(nn_vertices.size() == kTriangleN);
    Eigen::Vector3d p[kTriangleN];
    for (uint32_t k = 0; k < kTriangleN; ++k) {
      const Vertex* corner = nn_vertices.vertices[k];
      p[k] = (corner == s.get() || corner == t.get()) ? position : corner->position();
    }
    // Unit sides u[k] = unit(p[k+1] - p[k]); the corner at k sees u[k] and -u[k+2], and negating
    // a vector before or after normalising gives the same bits.
    Eigen::Vector3d u[kTriangleN];
    for (uint32_t k = 0; k < kTriangleN; ++k) {
      const Eigen::Vector3d side = p[(k + 1) % kTriangleN] - p[k];
      u[k] = side / side.norm();
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
    if (e1.norm() == 0.0 || e2.norm() == 0.0 || m_norm == 0.0 || m.hasNaN()) weight = max_weight;
    if (f->normal().dot(m / m_norm) < min_flip_cos) weight = max_weight;
  };
  mesh->ForEachVertexFace(s, weigh_face);
  mesh->ForEachVertexFace(t, weigh_face);
  ENSURE(weight >= 0);
  return weight;
}

}  // namespace

double ComputeContractionWeight(const std::shared_ptr<HalfedgeMesh>& mesh,
                                const std::shared_ptr<EdgeContractor>& edge_contr) {
  ENSURE(mesh);
  ENSURE(edge_contr);
  return ContractionWeight(mesh, edge_contr.get());
}

double QuadricError(const Eigen::Matrix4d& quadric, const Eigen::Vector4d& v) {
  return v.dot(quadric * v);
}

namespace {

// ComputeEdgeContractor into a caller's candidate: false when the edge gets none.
bool FillEdgeContractor(const std::shared_ptr<HalfedgeMesh>& mesh, const QuadricTable& vertex_mat_q,
                        const std::shared_ptr<Edge>& edge, EdgeContractor* edge_contr) {
  if (!CanContractEdge(mesh, edge)) return false;

  edge_contr->edge_id = edge->id();
  edge_contr->valid = true;
  const Vertex& s = *edge->first_vertex();
  const Vertex& t = *edge->second_vertex();
  const Eigen::Matrix4d q = vertex_mat_q[s.id()] + vertex_mat_q[t.id()];

  bool placed = false;
  if (!edge->is_boundary()) {
    Eigen::Matrix4d a = q;
    a.row(3) << 0.0, 0.0, 0.0, 1.0;
    if (std::abs(a.determinant()) >= 1e-8) {
      const Eigen::Vector4d w = a.inverse() * Eigen::Vector4d(0.0, 0.0, 0.0, 1.0);
      if (std::abs(w[3]) >= 1e-8) {
        edge_contr->position = w.head<3>() / w[3];
        // A nearly singular system can put the optimum beyond what the exported single-precision
        // positions hold: such a position is treated like an unsolvable system.
        placed = edge_contr->position.cwiseAbs().maxCoeff() <= std::numeric_limits<float>::max();
      }
    }
  }
  if (!placed) edge_contr->position = 0.5 * (s.position() + t.position());

  const double weight = ContractionWeight(mesh, edge_contr);
  if (weight >= FLAGS_mesh_max_angle_normal_weight) return false;
  Eigen::Vector4d v;
  v << edge_contr->position, 1.0;
  const double error = QuadricError(q, v);
  using std::isnan;
  ENSURE(!isnan(error));
  edge_contr->cost = weight * (error + edge->length() * FLAGS_mesh_edge_length_weight);
  return true;
}

}  // namespace

std::shared_ptr<EdgeContractor> ComputeEdgeContractor(const std::shared_ptr<HalfedgeMesh>& mesh,
                                                      const QuadricTable& vertex_mat_q,
                                                      const std::shared_ptr<Edge>& edge) {
  ENSURE(mesh);
  ENSURE(edge);
  ENSURE(vertex_mat_q.size() == mesh->NVertices());
  EdgeContractor edge_contr;
  if (!FillEdgeContractor(mesh, vertex_mat_q, edge, &edge_contr)) return nullptr;
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
  std::vector<Eigen::Vector4d, Eigen::aligned_allocator<Eigen::Vector4d>> face_planes(
      mesh->NFaces());
  for (uint32_t i = 0; i < mesh->NFaces(); ++i) {
    const std::shared_ptr<Face>& face = mesh->GetFace(i);
    ENSURE(face);
    face_planes[i] = FacePlane(*mesh, face);
  }
  QuadricTable vertex_mat_q(mesh->NVertices());
  for (uint32_t i = 0; i < mesh->NVertices(); ++i) {
    Eigen::Matrix4d& q = vertex_mat_q[i];
    q.setZero();
    mesh->ForEachVertexFace(mesh->GetVertex(i), [&](const std::shared_ptr<Face>& f) {
      const Eigen::Vector4d& vec_p = face_planes[f->id()];
      q += vec_p * vec_p.transpose();
    });
  }
  face_planes = {};

  CandidateTable candidates(mesh->NEdges());
  CandidateHeap heap;
  heap.reserve(size_t{2} * mesh->NEdges());
  for (uint32_t i = 0; i < mesh->NEdges(); ++i) {
    candidates.Assign(i, ComputeEdgeContractor(mesh, vertex_mat_q, mesh->GetEdge(i)), &heap);
  }

  uint32_t face_count = mesh->NFaces();
  // Progress is told in steps of a hundredth of the reduction, never on every contraction.
  const uint32_t initial_face_count = face_count;
  const double reduction = static_cast<double>(initial_face_count - target_num_faces);
  float next_report = 0.01f;
  std::shared_ptr<Vertex> ends[2];
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
    const EdgeContractor* candidate = candidates.Current(top);
    if (candidate == nullptr) continue;
    const Eigen::Vector3d position = candidate->position;
    // Edge ids stay put until the compaction at the end.
    const std::shared_ptr<Edge> edge = mesh->GetEdge(top.edge_id);
    if (!CanContractEdge(mesh, edge)) continue;

    ends[0] = edge->first_vertex();
    ends[1] = edge->second_vertex();
    for (uint32_t i = 0; i < 2; ++i) {
      mesh->ForEachVertexEdge(ends[i], [&](const std::shared_ptr<Edge>& e) {
        if (candidates[e->id()]) candidates[e->id()]->valid = false;
      });
      face_count -= CountVertexFaces(*mesh, ends[i]);
      const std::shared_ptr<Halfedge>& halfedge = edge->halfedge(i);
      if (halfedge && halfedge->adjacent_face()) ++face_count;
    }

    const std::shared_ptr<Vertex> survivor = mesh->ContractEdge(edge, position);
    if (!survivor) continue;
    Eigen::Matrix4d& q = vertex_mat_q[survivor->id()];
    q.setZero();
    mesh->ForEachVertexFace(
        survivor, [&](const std::shared_ptr<Face>& f) { q += ComputeFaceQuadric(mesh, f); });
    mesh->ForEachVertexEdge(survivor, [&](const std::shared_ptr<Edge>& e) {
      if (e->is_valid()) {
        candidates.Recompute(mesh, vertex_mat_q, e, &heap);
      } else if (candidates[e->id()]) {
        candidates[e->id()]->valid = false;
      }
    });
    face_count += CountVertexFaces(*mesh, survivor);
  }
  mesh->RemoveInvalidElements();
  return !progress || progress(1.0f);
}

}  // namespace mesh_toolbox
