// A directed side of one triangle: construction with its three required links, and release.
#include "halfedge-mesh/halfedge.h"

#include "halfedge-mesh/edge.h"
#include "halfedge-mesh/face.h"
#include "halfedge-mesh/vertex.h"
#include "logging/ensure.h"

namespace halfedge_mesh {

Halfedge::Halfedge(uint32_t halfedge_id, const std::shared_ptr<Vertex>& _from_vertex,
                   const std::shared_ptr<Vertex>& _to_vertex,
                   const std::shared_ptr<Face>& _adjacent_face)
    : halfedge_id_(halfedge_id),
      from_vertex_(_from_vertex),
      to_vertex_(_to_vertex),
      adjacent_face_(_adjacent_face) {
  ENSURE(_from_vertex);
  ENSURE(_to_vertex);
  ENSURE(_adjacent_face);
}

void Halfedge::ResetLinks() {
  from_vertex_.reset();
  to_vertex_.reset();
  prev_halfedge_.reset();
  next_halfedge_.reset();
  opposite_halfedge_.reset();
  edge_.reset();
  adjacent_face_.reset();
}

}  // namespace halfedge_mesh
