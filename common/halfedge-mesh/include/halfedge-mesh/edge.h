// An undirected edge: the one or two half-edges running along it; valid while one of them is.
#ifndef HALFEDGE_MESH_EDGE_H_
#define HALFEDGE_MESH_EDGE_H_

#include <array>
#include <cstdint>
#include <memory>

#include "halfedge-mesh/elements.h"
#include "halfedge-mesh/halfedge.h"

namespace halfedge_mesh {

class Edge {
 public:
  // At least one of the half-edges must be given.
  Edge(uint32_t edge_id, const std::shared_ptr<Halfedge>& _halfedge_1,
       const std::shared_ptr<Halfedge>& _halfedge_2);

  uint32_t id() const { return edge_id_; }
  bool is_valid() const {
    return (halfedge_[0] && halfedge_[0]->valid_) || (halfedge_[1] && halfedge_[1]->valid_);
  }
  // Removes the edge by removing its half-edges.
  void invalidate();
  // False only when two valid half-edges run along the edge. Requires is_valid().
  bool is_boundary() const;
  // The ends in the direction of halfedge_[0], or against halfedge_[1] when there is no
  // halfedge_[0]. Requires is_valid().
  void vertices(std::shared_ptr<Vertex>* _vertex_1, std::shared_ptr<Vertex>* _vertex_2) const;
  // The same ends without touching reference counts; valid while the edge's links stay.
  const std::shared_ptr<Vertex>& first_vertex() const {
    return halfedge_[0] ? halfedge_[0]->from_vertex_ : halfedge_[1]->to_vertex_;
  }
  const std::shared_ptr<Vertex>& second_vertex() const {
    return halfedge_[0] ? halfedge_[0]->to_vertex_ : halfedge_[1]->from_vertex_;
  }
  // Distance between the two ends.
  double length() const;
  // halfedge_[_halfedge_order], possibly empty; _halfedge_order must be 0 or 1.
  const std::shared_ptr<Halfedge>& halfedge(uint32_t _halfedge_order) const;

 private:
  friend class HalfedgeMesh;

  uint32_t edge_id_;
  std::array<std::shared_ptr<Halfedge>, 2> halfedge_;
};

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_EDGE_H_
