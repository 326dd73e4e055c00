// A vertex of the half-edge mesh: position, attributes carried through editing, one outgoing link.
#ifndef HALFEDGE_MESH_VERTEX_H_
#define HALFEDGE_MESH_VERTEX_H_

#include <Eigen/Core>
#include <array>
#include <cstdint>
#include <memory>

#include "halfedge-mesh/elements.h"

namespace halfedge_mesh {

class Vertex {
 public:
  Vertex(uint32_t vertex_id, const Eigen::Vector3d& position)
      : vertex_id_(vertex_id), position_(position) {}
  // A copy carries every field; `out_halfedge_` is shared, not duplicated.
  Vertex(const Vertex&) = default;
  Vertex& operator=(const Vertex&) = default;

  uint32_t id() const { return vertex_id_; }
  bool is_valid() const { return valid_; }
  const Eigen::Vector3d& position() const { return position_; }
  const std::array<uint8_t, 4>& color() const { return color_; }
  // As given by the input; editing never recomputes it.
  const Eigen::Vector3d& normal() const { return normal_; }
  const std::array<double, 2>& aux() const { return aux_; }
  bool is_boundary() const { return is_boundary_; }
  // On a boundary vertex the outgoing half-edge without an opposite.
  const std::shared_ptr<Halfedge>& out_halfedge() const { return out_halfedge_; }

 private:
  friend class HalfedgeMesh;
  friend struct ElementAccess;

  uint32_t vertex_id_;
  bool valid_ = true;
  Eigen::Vector3d position_;
  std::array<uint8_t, 4> color_{};
  Eigen::Vector3d normal_ = Eigen::Vector3d::Zero();
  std::array<double, 2> aux_{};
  bool is_boundary_ = false;
  std::shared_ptr<Halfedge> out_halfedge_;
};

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_VERTEX_H_
