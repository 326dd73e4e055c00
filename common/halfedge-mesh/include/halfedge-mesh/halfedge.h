// A directed side of one triangle, linked to its loop, its opposite, its edge and its face.
#ifndef HALFEDGE_MESH_HALFEDGE_H_
#define HALFEDGE_MESH_HALFEDGE_H_

#include <cstdint>
#include <memory>

#include "halfedge-mesh/elements.h"

namespace halfedge_mesh {

class Halfedge {
 public:
  // Ends the process when one of the three links is empty.
  Halfedge(uint32_t halfedge_id, const std::shared_ptr<Vertex>& _from_vertex,
           const std::shared_ptr<Vertex>& _to_vertex, const std::shared_ptr<Face>& _adjacent_face);

  uint32_t id() const { return halfedge_id_; }
  bool is_valid() const { return valid_; }
  const std::shared_ptr<Vertex>& from_vertex() const { return from_vertex_; }
  const std::shared_ptr<Vertex>& to_vertex() const { return to_vertex_; }
  const std::shared_ptr<Halfedge>& prev_halfedge() const { return prev_halfedge_; }
  const std::shared_ptr<Halfedge>& next_halfedge() const { return next_halfedge_; }
  // Empty on an open boundary.
  const std::shared_ptr<Halfedge>& opposite_halfedge() const { return opposite_halfedge_; }
  const std::shared_ptr<Edge>& edge() const { return edge_; }
  const std::shared_ptr<Face>& adjacent_face() const { return adjacent_face_; }

 private:
  friend class Edge;
  friend class HalfedgeMesh;
  friend struct ElementAccess;

  // Drops every link, so that cycles through this half-edge no longer keep elements alive.
  void ResetLinks();

  uint32_t halfedge_id_;
  bool valid_ = true;
  std::shared_ptr<Vertex> from_vertex_;
  std::shared_ptr<Vertex> to_vertex_;
  std::shared_ptr<Halfedge> prev_halfedge_;
  std::shared_ptr<Halfedge> next_halfedge_;
  std::shared_ptr<Halfedge> opposite_halfedge_;
  std::shared_ptr<Edge> edge_;
  std::shared_ptr<Face> adjacent_face_;
};

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_HALFEDGE_H_
