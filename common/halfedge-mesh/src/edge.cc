// An undirected edge: validity, boundary test and ends, derived from its one or two half-edges.
#include "halfedge-mesh/edge.h"

#include "halfedge-mesh/vertex.h"
#include "logging/ensure.h"

namespace halfedge_mesh {

Edge::Edge(uint32_t edge_id, const std::shared_ptr<Halfedge>& _halfedge_1,
           const std::shared_ptr<Halfedge>& _halfedge_2)
    : edge_id_(edge_id), halfedge_{_halfedge_1, _halfedge_2} {
  ENSURE(_halfedge_1 || _halfedge_2);
}

void Edge::invalidate() {
  for (const std::shared_ptr<Halfedge>& halfedge : halfedge_) {
    if (halfedge) halfedge->valid_ = false;
  }
}

bool Edge::is_boundary() const {
  ENSURE(is_valid());
  return !(halfedge_[0] && halfedge_[0]->valid_ && halfedge_[1] && halfedge_[1]->valid_);
}

void Edge::vertices(std::shared_ptr<Vertex>* _vertex_1, std::shared_ptr<Vertex>* _vertex_2) const {
  ENSURE(is_valid());
  if (halfedge_[0]) {
    *_vertex_1 = halfedge_[0]->from_vertex_;
    *_vertex_2 = halfedge_[0]->to_vertex_;
  } else {
    *_vertex_1 = halfedge_[1]->to_vertex_;
    *_vertex_2 = halfedge_[1]->from_vertex_;
  }
  ENSURE(!halfedge_[1] || ((*_vertex_1) == halfedge_[1]->to_vertex() &&
                           (*_vertex_2) == halfedge_[1]->from_vertex()));
}

double Edge::length() const {
  ENSURE(is_valid());
  return (first_vertex()->position() - second_vertex()->position()).norm();
}

const std::shared_ptr<Halfedge>& Edge::halfedge(uint32_t _halfedge_order) const {
  ENSURE(_halfedge_order < 2u);
  return halfedge_[_halfedge_order];
}

}  // namespace halfedge_mesh
