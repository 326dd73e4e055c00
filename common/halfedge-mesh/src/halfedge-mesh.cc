// A triangle mesh in half-edge form: element access, walks, compaction, normals and export.
#include "halfedge-mesh/halfedge-mesh.h"

#include <Eigen/Geometry>
#include <cmath>
#include <limits>

#include "logging/log-statement.h"

namespace halfedge_mesh {

namespace {

// Element access hands out references; this is the one for "no element".
template <typename T>
const std::shared_ptr<T>& Empty() {
  static const std::shared_ptr<T> empty;
  return empty;
}

// The corners of one face loop, gathered without allocating; counts corners beyond three too.
struct Corners {
  void push_back(const Vertex* vertex) {
    if (count < HalfedgeMesh::kTriangleN) vertices[count] = vertex;
    ++count;
  }
  uint32_t size() const { return count; }

  const Vertex* vertices[HalfedgeMesh::kTriangleN] = {};
  uint32_t count = 0;
};

}  // namespace

HalfedgeMesh::HalfedgeMesh() = default;

HalfedgeMesh::~HalfedgeMesh() { Clear(); }

void HalfedgeMesh::Clear() {
  // Elements link to each other in cycles; reset the links of every one, or shared ownership
  // keeps them alive after the mesh has let go of them. A construction that ran out of memory
  // leaves entries it had not filled yet: empty.
  for (const std::shared_ptr<Vertex>& vertex : vertices_) {
    if (vertex) vertex->out_halfedge_.reset();
  }
  for (const std::shared_ptr<Halfedge>& halfedge : halfedges_) {
    if (halfedge) halfedge->ResetLinks();
  }
  for (const std::shared_ptr<Edge>& edge : edges_) {
    if (!edge) continue;
    edge->halfedge_[0].reset();
    edge->halfedge_[1].reset();
  }
  for (const std::shared_ptr<Face>& face : faces_) {
    if (face) face->adjacent_halfedge_.reset();
  }
  vertices_.clear();
  halfedges_.clear();
  edges_.clear();
  faces_.clear();
}

const std::shared_ptr<Vertex>& HalfedgeMesh::GetVertex(uint32_t vertex_id) const {
  if (vertex_id >= NVertices()) {
    LOG_ERROR() << "Vertex index " << vertex_id << " out of bounds.";
    return Empty<Vertex>();
  }
  const std::shared_ptr<Vertex>& vertex = vertices_[vertex_id];
  ENSURE(vertex->vertex_id_ == vertex_id);
  if (!vertex->valid_) {
    LOG_ERROR() << "Invalid vertex with id " << vertex_id;
    return Empty<Vertex>();
  }
  return vertex;
}

const std::shared_ptr<Edge>& HalfedgeMesh::GetEdge(uint32_t edge_id) const {
  if (edge_id >= NEdges()) return Empty<Edge>();
  const std::shared_ptr<Edge>& edge = edges_[edge_id];
  ENSURE(edge->edge_id_ == edge_id);
  if (!edge->is_valid()) return Empty<Edge>();
  return edge;
}

const std::shared_ptr<Face>& HalfedgeMesh::GetFace(uint32_t face_id) const {
  if (face_id >= NFaces()) return Empty<Face>();
  const std::shared_ptr<Face>& face = faces_[face_id];
  ENSURE(face->face_id_ == face_id);
  if (!face->valid_) return Empty<Face>();
  return face;
}

bool HalfedgeMesh::StartFanWalk(const std::shared_ptr<Vertex>& vertex) const {
  ENSURE(vertex);
  if (!vertex->out_halfedge_) {
    LOG_WARNING() << "Warning: Isolated vertex (Vertex ID = " << vertex->vertex_id_ << ").";
    return false;
  }
  const std::shared_ptr<Halfedge>& curr_out_halfedge = vertex->out_halfedge_;
  const std::shared_ptr<Halfedge>& curr_in_halfedge = curr_out_halfedge->prev_halfedge_;
  ENSURE(curr_in_halfedge);
  ENSURE(curr_out_halfedge->from_vertex_ == vertex);
  ENSURE(curr_in_halfedge->to_vertex_ == vertex);
  return true;
}

std::vector<std::shared_ptr<Halfedge>> HalfedgeMesh::GetVertexOutHalfedges(
    const std::shared_ptr<Vertex>& vertex) const {
  std::vector<std::shared_ptr<Halfedge>> halfedges;
  ForEachVertexOutHalfedge(
      vertex, [&](const std::shared_ptr<Halfedge>& halfedge) { halfedges.push_back(halfedge); });
  return halfedges;
}

std::vector<std::shared_ptr<Edge>> HalfedgeMesh::GetVertexEdges(
    const std::shared_ptr<Vertex>& vertex) const {
  std::vector<std::shared_ptr<Edge>> edges;
  ForEachVertexEdge(vertex, [&](const std::shared_ptr<Edge>& edge) { edges.push_back(edge); });
  return edges;
}

std::vector<std::shared_ptr<Face>> HalfedgeMesh::GetVertexFaces(
    const std::shared_ptr<Vertex>& vertex) const {
  std::vector<std::shared_ptr<Face>> faces;
  ForEachVertexFace(vertex, [&](const std::shared_ptr<Face>& face) { faces.push_back(face); });
  return faces;
}

std::vector<std::shared_ptr<Vertex>> HalfedgeMesh::GetFaceVertices(
    const std::shared_ptr<Face>& face) const {
  std::vector<std::shared_ptr<Vertex>> vertices;
  vertices.reserve(kTriangleN);
  ForEachFaceVertex(face,
                    [&](const std::shared_ptr<Vertex>& vertex) { vertices.push_back(vertex); });
  return vertices;
}

void HalfedgeMesh::UpdateVertexOutHalfedge(const std::shared_ptr<Vertex>& vertex) {
  ENSURE(vertex);
  if (!vertex->out_halfedge_) {
    LOG_WARNING() << "Warning: Isolated vertex (Vertex ID = " << vertex->vertex_id_
                  << "). Deleted.";
    vertex->valid_ = false;
    return;
  }
  // Forward rotation: the next outgoing half-edge is the successor of this one's opposite.
  const Halfedge* start = vertex->out_halfedge_.get();
  const std::shared_ptr<Halfedge>* curr_out_link = &vertex->out_halfedge_;
  uint32_t steps = 0;
  for (;;) {
    const Halfedge* curr_out_halfedge = curr_out_link->get();
    ENSURE(curr_out_halfedge->from_vertex_ == vertex);
    const std::shared_ptr<Halfedge>& opposite = curr_out_halfedge->opposite_halfedge_;
    if (!opposite || !opposite->next_halfedge_) break;
    curr_out_link = &opposite->next_halfedge_;
    if (curr_out_link->get() == start) {
      vertex->is_boundary_ = false;
      return;
    }
    ENSURE(++steps <= halfedges_.size()) << "(the walk around a vertex does not close)";
  }
  // Copy before assigning: the link being read may be the one that is overwritten.
  std::shared_ptr<Halfedge> boundary_halfedge = *curr_out_link;
  vertex->out_halfedge_ = std::move(boundary_halfedge);
  vertex->is_boundary_ = true;
}

void HalfedgeMesh::ComputeFaceNormal(const std::shared_ptr<Face>& face) {
  ENSURE(face);
  Corners n_vertices;
  ForEachFaceVertex(
      face, [&](const std::shared_ptr<Vertex>& vertex) { n_vertices.push_back(vertex.get()); });
  ENSURE(n_vertices.size() == kTriangleN);
  const Vertex* const* corners = n_vertices.vertices;
  const Eigen::Vector3d e1 = corners[1]->position_ - corners[0]->position_;
  const Eigen::Vector3d e2 = corners[2]->position_ - corners[0]->position_;
  const Eigen::Vector3d n = e1.cross(e2);
  const double n_norm = n.norm();
  if (e1.norm() == 0.0 || n_norm == 0.0 || n.hasNaN()) {
    face->normal_.setZero();
  } else {
    face->normal_ = n / n_norm;
  }
}

void HalfedgeMesh::ComputeFaceNormals() {
  for (const std::shared_ptr<Face>& face : faces_) {
    if (face->valid_) ComputeFaceNormal(face);
  }
}

void HalfedgeMesh::ComputeBoundingBox() {
  bbox_min_.setConstant(std::numeric_limits<double>::max());
  bbox_max_.setConstant(-std::numeric_limits<double>::max());
  for (const std::shared_ptr<Vertex>& vertex : vertices_) {
    bbox_min_ = bbox_min_.cwiseMin(vertex->position_);
    bbox_max_ = bbox_max_.cwiseMax(vertex->position_);
  }
}

void HalfedgeMesh::RemoveInvalidElements() {
  // Dropped elements may still link to each other (and to kept ones) in cycles: reset their
  // links so that the vector's release really frees them.
  {
    std::vector<std::shared_ptr<Vertex>> kept;
    kept.reserve(vertices_.size());
    for (std::shared_ptr<Vertex>& vertex_ptr : vertices_) {
      ENSURE(vertex_ptr);
      Vertex& vertex = *vertex_ptr;
      if (vertex.valid_) {
        ENSURE(vertex.out_halfedge_);
        vertex.vertex_id_ = static_cast<uint32_t>(kept.size());
        kept.push_back(std::move(vertex_ptr));
      } else {
        vertex.out_halfedge_.reset();
      }
    }
    vertices_.swap(kept);
  }
  {
    std::vector<std::shared_ptr<Edge>> kept;
    kept.reserve(edges_.size());
    for (std::shared_ptr<Edge>& edge : edges_) {
      if (edge->is_valid()) {
        for (std::shared_ptr<Halfedge>& halfedge : edge->halfedge_) {
          if (halfedge && !halfedge->valid_) halfedge.reset();
        }
        edge->edge_id_ = static_cast<uint32_t>(kept.size());
        kept.push_back(std::move(edge));
      } else {
        edge->halfedge_[0].reset();
        edge->halfedge_[1].reset();
      }
    }
    edges_.swap(kept);
  }
  {
    std::vector<std::shared_ptr<Halfedge>> kept;
    kept.reserve(halfedges_.size());
    for (std::shared_ptr<Halfedge>& halfedge : halfedges_) {
      if (halfedge->valid_) {
        halfedge->halfedge_id_ = static_cast<uint32_t>(kept.size());
        kept.push_back(std::move(halfedge));
      } else {
        halfedge->ResetLinks();
      }
    }
    halfedges_.swap(kept);
  }
  {
    std::vector<std::shared_ptr<Face>> kept;
    kept.reserve(faces_.size());
    for (std::shared_ptr<Face>& face : faces_) {
      if (face->valid_) {
        face->face_id_ = static_cast<uint32_t>(kept.size());
        kept.push_back(std::move(face));
      } else {
        face->adjacent_halfedge_.reset();
      }
    }
    faces_.swap(kept);
  }
}

void HalfedgeMesh::ExportToArrays(float (*vertices)[3], uint32_t (*faces)[3], float (*normals)[3],
                                  uint8_t (*colors)[4]) const {
  ENSURE_NOT_NULL(vertices);
  ENSURE_NOT_NULL(faces);
  for (uint32_t vertex_id = 0; vertex_id < NVertices(); ++vertex_id) {
    const std::shared_ptr<Vertex>& vertex = GetVertex(vertex_id);
    ENSURE(vertex);
    ENSURE(vertex->id() == vertex_id);
    for (int axis = 0; axis < 3; ++axis) {
      vertices[vertex_id][axis] = static_cast<float>(vertex->position_[axis]);
    }
    if (colors != nullptr) {
      for (int channel = 0; channel < 4; ++channel) {
        colors[vertex_id][channel] = vertex->color_[static_cast<size_t>(channel)];
      }
    }
    if (normals != nullptr) {
      for (int axis = 0; axis < 3; ++axis) {
        normals[vertex_id][axis] = static_cast<float>(vertex->normal_[axis]);
      }
    }
  }
  for (uint32_t face_id = 0; face_id < NFaces(); ++face_id) {
    const std::shared_ptr<Face>& face = GetFace(face_id);
    ENSURE(face);
    ENSURE(face->id() == face_id);
    Corners n_vertices;
    ForEachFaceVertex(
        face, [&](const std::shared_ptr<Vertex>& vertex) { n_vertices.push_back(vertex.get()); });
    ENSURE(n_vertices.size() == kTriangleN);
    for (uint32_t corner = 0; corner < kTriangleN; ++corner) {
      faces[face_id][corner] = n_vertices.vertices[corner]->vertex_id_;
    }
  }
}

}  // namespace halfedge_mesh
