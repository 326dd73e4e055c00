// A triangle mesh in half-edge form: element access, walks, compaction, normals and export.
#ifndef HALFEDGE_MESH_HALFEDGE_MESH_H_
#define HALFEDGE_MESH_HALFEDGE_MESH_H_

#include <Eigen/Core>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "halfedge-mesh/edge.h"
#include "halfedge-mesh/elements.h"
#include "halfedge-mesh/face.h"
#include "halfedge-mesh/halfedge.h"
#include "halfedge-mesh/vertex.h"
#include "logging/ensure.h"

namespace halfedge_mesh {

// Elements are shared with the mesh's users and identified by ids equal to their positions in
// the mesh's vectors. Removed elements stay in place (not valid) until RemoveInvalidElements.
// One thread at a time; broken invariants end the process, repairable input logs warnings.
class HalfedgeMesh {
 public:
  static constexpr uint32_t kTriangleN = 3;

  HalfedgeMesh();
  // Releases every element, including those its users still hold links into.
  virtual ~HalfedgeMesh();
  HalfedgeMesh(const HalfedgeMesh&) = delete;
  HalfedgeMesh& operator=(const HalfedgeMesh&) = delete;

  // Replaces the content with the triangles of `faces` (indices into `vertices`), oriented
  // consistently per connected patch. Faces with an index out of range or a repeated index, and
  // faces that fit in neither orientation, are dropped; unused vertices are dropped; a vertex where
  // separate fans meet becomes one vertex per fan. `normals` and `colors` may be null.
  void BuildFromArrays(const float (*vertices)[3], const uint32_t (*faces)[3],
                       const float (*normals)[3], const uint8_t (*colors)[4], uint32_t num_vertices,
                       uint32_t num_faces);
  // Writes a compacted mesh: NVertices() positions (and normals, colours where the arrays are
  // given) and NFaces() index triples in loop order.
  void ExportToArrays(float (*vertices)[3], uint32_t (*faces)[3], float (*normals)[3],
                      uint8_t (*colors)[4]) const;
  // Empties the mesh and releases every element.
  void Clear();

  // Empty with an error line when out of range or removed.
  const std::shared_ptr<Vertex>& GetVertex(uint32_t vertex_id) const;
  // Empty, silently, when out of range or removed.
  const std::shared_ptr<Edge>& GetEdge(uint32_t edge_id) const;
  const std::shared_ptr<Face>& GetFace(uint32_t face_id) const;

  // Vector sizes: removed elements count until the next RemoveInvalidElements.
  uint32_t NVertices() const { return static_cast<uint32_t>(vertices_.size()); }
  uint32_t NHalfedges() const { return static_cast<uint32_t>(halfedges_.size()); }
  uint32_t NEdges() const { return static_cast<uint32_t>(edges_.size()); }
  uint32_t NFaces() const { return static_cast<uint32_t>(faces_.size()); }

  // The fan around a vertex, walked backwards from its out_halfedge_ (on a boundary vertex the
  // whole fan). An isolated vertex gives an empty list and a warning line. On an open fan the
  // edge list ends with the edge of out_halfedge_, one more than the faces.
  std::vector<std::shared_ptr<Halfedge>> GetVertexOutHalfedges(
      const std::shared_ptr<Vertex>& vertex) const;
  std::vector<std::shared_ptr<Edge>> GetVertexEdges(const std::shared_ptr<Vertex>& vertex) const;
  std::vector<std::shared_ptr<Face>> GetVertexFaces(const std::shared_ptr<Vertex>& vertex) const;
  // The corners of a face in loop order.
  std::vector<std::shared_ptr<Vertex>> GetFaceVertices(const std::shared_ptr<Face>& face) const;

  // The same walks without building lists: `visit` gets each element as a const reference to a
  // link inside the mesh, in list order, and must not change links.
  template <typename Visit>
  void ForEachVertexOutHalfedge(const std::shared_ptr<Vertex>& vertex, Visit&& visit) const {
    WalkFan(vertex, [&](const std::shared_ptr<Halfedge>& out, const Halfedge&) { visit(out); });
  }
  template <typename Visit>
  void ForEachVertexEdge(const std::shared_ptr<Vertex>& vertex, Visit&& visit) const {
    if (WalkFan(vertex,
                [&](const std::shared_ptr<Halfedge>&, const Halfedge& in) { visit(in.edge_); })) {
      visit(vertex->out_halfedge_->edge_);
    }
  }
  // The other ends of the edges of ForEachVertexEdge, in the same order.
  template <typename Visit>
  void ForEachVertexNeighbor(const std::shared_ptr<Vertex>& vertex, Visit&& visit) const {
    if (WalkFan(vertex, [&](const std::shared_ptr<Halfedge>&, const Halfedge& in) {
          visit(in.from_vertex_);
        })) {
      visit(vertex->out_halfedge_->to_vertex_);
    }
  }
  template <typename Visit>
  void ForEachVertexFace(const std::shared_ptr<Vertex>& vertex, Visit&& visit) const {
    WalkFan(vertex, [&](const std::shared_ptr<Halfedge>&, const Halfedge& in) {
      visit(in.adjacent_face_);
    });
  }
  // The faces of ForEachVertexFace with their corners in loop order, read from the two half-edges
  // of the fan that meet at `vertex` and the face's first half-edge: visit(face, corners).
  template <typename Visit>
  void ForEachVertexFaceCorners(const std::shared_ptr<Vertex>& vertex, Visit&& visit) const {
    WalkFan(vertex, [&](const std::shared_ptr<Halfedge>& out, const Halfedge& in) {
      const std::shared_ptr<Face>& face = in.adjacent_face_;
      const Vertex* before = in.from_vertex_.get();
      const Vertex* after = out->to_vertex_.get();
      const Halfedge* first = face->adjacent_halfedge_.get();
      const Vertex* corners[kTriangleN];
      if (first == &in) {
        corners[0] = before, corners[1] = vertex.get(), corners[2] = after;
      } else if (first == out.get()) {
        corners[0] = vertex.get(), corners[1] = after, corners[2] = before;
      } else {
        corners[0] = after, corners[1] = before, corners[2] = vertex.get();
      }
      visit(face, corners);
    });
  }
  template <typename Visit>
  void ForEachFaceVertex(const std::shared_ptr<Face>& face, Visit&& visit) const {
    ENSURE(face);
    const std::shared_ptr<Halfedge>& first = face->adjacent_halfedge_;
    const Halfedge* curr_halfedge = first.get();
    ENSURE(curr_halfedge);
    uint32_t steps = 0;
    do {
      ENSURE(curr_halfedge->adjacent_face_ == face);
      visit(curr_halfedge->from_vertex_);
      curr_halfedge = curr_halfedge->next_halfedge_.get();
      ENSURE(++steps <= halfedges_.size()) << "(the face loop does not close)";
    } while (curr_halfedge != nullptr && curr_halfedge != first.get());
  }

  // Moves out_halfedge_ to the boundary half-edge of the fan and sets is_boundary_; a vertex
  // without out_halfedge_ is removed with a warning line.
  void UpdateVertexOutHalfedge(const std::shared_ptr<Vertex>& vertex);

  // Unit normal of the face's corners in loop order; zero for a degenerate triangle.
  void ComputeFaceNormal(const std::shared_ptr<Face>& face);
  void ComputeFaceNormals();
  // Over every vertex entry, removed ones included; an empty mesh leaves +max and -max.
  void ComputeBoundingBox();
  const Eigen::Vector3d& bbox_min() const { return bbox_min_; }
  const Eigen::Vector3d& bbox_max() const { return bbox_max_; }

  // Drops removed elements and renumbers the rest densely, keeping their order. A surviving edge
  // loses its link to a removed half-edge.
  void RemoveInvalidElements();

  // Collapses `edge` (valid) onto its first vertex, the pivot, which moves to `new_position`;
  // removes the second vertex and the one or two triangles on the edge and joins their outer
  // half-edges. Returns the pivot, or empty when it is left without triangles (then it is
  // removed too). Removed elements stay in place until RemoveInvalidElements. The caller decides
  // whether the collapse keeps the surface sound; nothing is refused here.
  std::shared_ptr<Vertex> ContractEdge(const std::shared_ptr<Edge>& edge,
                                       const Eigen::Vector3d& new_position);

 private:
  class HalfedgeMap;
  class VertexOutHalfedges;
  struct FaceNeighbors;
  using FaceVertexIds = std::array<uint32_t, kTriangleN>;

  // Checks the start of a walk around `vertex`; false, with a warning line, when it is isolated.
  bool StartFanWalk(const std::shared_ptr<Vertex>& vertex) const;
  // Calls step(curr_out_halfedge, curr_in_halfedge) for each step of the backward walk around
  // `vertex`; returns true when the walk ended at a missing opposite (an open fan).
  template <typename Step>
  bool WalkFan(const std::shared_ptr<Vertex>& vertex, Step&& step) const {
    if (!StartFanWalk(vertex)) return false;
    const Halfedge* start = vertex->out_halfedge_.get();
    const std::shared_ptr<Halfedge>* curr_out_halfedge = &vertex->out_halfedge_;
    const Halfedge* curr_in_halfedge = start->prev_halfedge_.get();
    uint32_t steps = 0;
    for (;;) {
      step(*curr_out_halfedge, *curr_in_halfedge);
      const std::shared_ptr<Halfedge>& next_out_halfedge = curr_in_halfedge->opposite_halfedge_;
      if (!next_out_halfedge) return true;
      if (next_out_halfedge.get() == start) return false;
      ENSURE(++steps <= halfedges_.size()) << "(the walk around a vertex does not close)";
      curr_out_halfedge = &next_out_halfedge;
      curr_in_halfedge = next_out_halfedge->prev_halfedge_.get();
      if (curr_in_halfedge == nullptr) return false;
    }
  }

  // Construction steps, in the order BuildFromArrays runs them.
  void BuildConnectivity(const std::vector<FaceVertexIds>& face_vertex_ids);
  bool ComputeFaceFaceNeighbors(const std::vector<FaceVertexIds>& face_vertex_ids,
                                std::vector<FaceNeighbors>* vec_face_face_neighbors) const;
  bool CanAddFace(const FaceVertexIds& ids, const HalfedgeMap& vecmap_halfedges) const;
  void AddFaceHalfedges(const std::shared_ptr<Face>& face, const FaceVertexIds& ids,
                        HalfedgeMap* vecmap_halfedges,
                        VertexOutHalfedges* vec_vertex_out_halfedges);
  void BuildEdges(const HalfedgeMap* vecmap_halfedges);
  void SetupVertexOutHalfedges(const VertexOutHalfedges& vec_vertex_out_halfedges);

  Eigen::Vector3d bbox_min_ = Eigen::Vector3d::Zero();
  Eigen::Vector3d bbox_max_ = Eigen::Vector3d::Zero();
  std::vector<std::shared_ptr<Vertex>> vertices_;
  std::vector<std::shared_ptr<Halfedge>> halfedges_;
  std::vector<std::shared_ptr<Edge>> edges_;
  std::vector<std::shared_ptr<Face>> faces_;
  // Reused by ContractEdge: the edges around the removed vertex.
  std::vector<Edge*> contract_edges_;
};

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_HALFEDGE_MESH_H_
