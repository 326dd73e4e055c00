// Edge contraction: collapsing an edge onto one end and joining the triangles around the gap.
#include "halfedge-mesh/halfedge-mesh.h"

namespace halfedge_mesh {

std::shared_ptr<Vertex> HalfedgeMesh::ContractEdge(const std::shared_ptr<Edge>& edge,
                                                   const Eigen::Vector3d& new_position) {
  ENSURE(edge);
  const std::shared_ptr<Halfedge> halfedge[2] = {edge->halfedge(0), edge->halfedge(1)};
  std::shared_ptr<Vertex> pivot_vertex;
  std::shared_ptr<Vertex> other_vertex;
  edge->vertices(&pivot_vertex, &other_vertex);
  ENSURE(!halfedge[0] || pivot_vertex == halfedge[0]->from_vertex_);
  ENSURE(!halfedge[0] || other_vertex == halfedge[0]->to_vertex_);
  ENSURE(!halfedge[1] || pivot_vertex == halfedge[1]->to_vertex_);
  ENSURE(!halfedge[1] || other_vertex == halfedge[1]->from_vertex_);

  // Everything about both triangles is recorded before any link changes.
  std::shared_ptr<Halfedge> prev_halfedge[2];
  std::shared_ptr<Halfedge> next_halfedge[2];
  std::shared_ptr<Vertex> n_vertex[2];
  std::shared_ptr<Halfedge> prev_opposite[2];
  std::shared_ptr<Halfedge> next_opposite[2];
  std::shared_ptr<Edge> prev_edge[2];
  std::shared_ptr<Edge> next_edge[2];
  std::shared_ptr<Face> n_face[2];
  for (int i = 0; i < 2; ++i) {
    if (!halfedge[i]) continue;
    ENSURE(halfedge[i]->prev_halfedge_ && halfedge[i]->next_halfedge_);
    prev_halfedge[i] = halfedge[i]->prev_halfedge_;
    next_halfedge[i] = halfedge[i]->next_halfedge_;
    n_vertex[i] = prev_halfedge[i]->from_vertex_;
    ENSURE(n_vertex[i] == next_halfedge[i]->to_vertex_);
    prev_opposite[i] = prev_halfedge[i]->opposite_halfedge_;
    next_opposite[i] = next_halfedge[i]->opposite_halfedge_;
    prev_edge[i] = prev_halfedge[i]->edge_;
    next_edge[i] = next_halfedge[i]->edge_;
    n_face[i] = halfedge[i]->adjacent_face_;
  }

  pivot_vertex->position_ = new_position;

  // The other vertex's half-edges now start or end at the pivot.
  contract_edges_.clear();
  ForEachVertexEdge(other_vertex,
                    [&](const std::shared_ptr<Edge>& e) { contract_edges_.push_back(e.get()); });
  for (auto it = contract_edges_.begin(); it != contract_edges_.end(); ++it) {
    ENSURE(*it);
    for (const std::shared_ptr<Halfedge>& h : (*it)->halfedge_) {
      if (!h) continue;
      if (h->from_vertex_ == other_vertex) h->from_vertex_ = pivot_vertex;
      if (h->to_vertex_ == other_vertex) h->to_vertex_ = pivot_vertex;
    }
  }

  for (int i = 0; i < 2; ++i) {
    if (!halfedge[i]) continue;
    ENSURE(prev_halfedge[i] && next_halfedge[i]);
    if (prev_opposite[i]) {
      prev_opposite[i]->opposite_halfedge_ = next_opposite[i];
      prev_opposite[i]->edge_ = prev_edge[i];
      pivot_vertex->out_halfedge_ = prev_opposite[i];
      ENSURE(pivot_vertex->out_halfedge_->from_vertex_ == pivot_vertex);
    }
    if (next_opposite[i]) {
      next_opposite[i]->opposite_halfedge_ = prev_opposite[i];
      next_opposite[i]->edge_ = prev_edge[i];
      pivot_vertex->out_halfedge_ = next_opposite[i]->next_halfedge_;
      ENSURE(pivot_vertex->out_halfedge_->from_vertex_ == pivot_vertex);
    }
    // The outer half-edges share the surviving edge; the inner ones leave with the other edge.
    prev_edge[i]->halfedge_[0] = prev_opposite[i];
    prev_edge[i]->halfedge_[1] = next_opposite[i];
    prev_halfedge[i]->edge_ = next_edge[i];
    next_halfedge[i]->edge_ = next_edge[i];
    next_edge[i]->halfedge_[0] = prev_halfedge[i];
    next_edge[i]->halfedge_[1] = next_halfedge[i];
    if (n_vertex[i]->out_halfedge_ == prev_halfedge[i]) {
      if (next_opposite[i]) {
        n_vertex[i]->out_halfedge_ = next_opposite[i];
        ENSURE(n_vertex[i]->out_halfedge_->from_vertex_ == n_vertex[i]);
      } else if (prev_opposite[i]) {
        n_vertex[i]->out_halfedge_ = prev_opposite[i]->next_halfedge_;
        ENSURE(n_vertex[i]->out_halfedge_->from_vertex_ == n_vertex[i]);
      }
    }
  }

  edge->invalidate();
  other_vertex->valid_ = false;

  // Two triangles glued along all three edges close on themselves.
  const bool is_pillow = halfedge[0] && halfedge[1] && prev_opposite[0] == next_halfedge[1] &&
                         next_opposite[0] == prev_halfedge[1];
  for (int i = 0; i < 2; ++i) {
    if (!halfedge[i]) continue;
    ENSURE(n_face[i]);
    n_face[i]->valid_ = false;
    next_edge[i]->invalidate();
    if (is_pillow || (!prev_opposite[i] && !next_opposite[i])) {
      prev_edge[i]->invalidate();
      n_vertex[i]->valid_ = false;
    }
  }

  std::shared_ptr<Vertex> result = pivot_vertex;
  const bool keeps_0 = n_vertex[0] && n_vertex[0]->valid_;
  const bool keeps_1 = n_vertex[1] && n_vertex[1]->valid_;
  if (!keeps_0 && !keeps_1) {
    pivot_vertex->valid_ = false;
    result.reset();
  }
  if (keeps_0) UpdateVertexOutHalfedge(n_vertex[0]);
  if (keeps_1) UpdateVertexOutHalfedge(n_vertex[1]);
  if (result) {
    ENSURE(pivot_vertex->out_halfedge_);
    UpdateVertexOutHalfedge(pivot_vertex);
    ForEachVertexFace(pivot_vertex,
                      [&](const std::shared_ptr<Face>& face) { ComputeFaceNormal(face); });
  }
  return result;
}

}  // namespace halfedge_mesh
