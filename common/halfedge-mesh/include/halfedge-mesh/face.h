// A triangle of the half-edge mesh: its unit normal and the first half-edge of its loop.
#ifndef HALFEDGE_MESH_FACE_H_
#define HALFEDGE_MESH_FACE_H_

#include <Eigen/Core>
#include <cstdint>
#include <memory>

#include "halfedge-mesh/elements.h"

namespace halfedge_mesh {

class Face {
 public:
  explicit Face(uint32_t face_id) : face_id_(face_id) {}

  uint32_t id() const { return face_id_; }
  bool is_valid() const { return valid_; }
  // Unit normal, or zero for a degenerate triangle; kept by HalfedgeMesh::ComputeFaceNormal.
  const Eigen::Vector3d& normal() const { return normal_; }
  void set_normal(const Eigen::Vector3d& normal) { normal_ = normal; }
  const std::shared_ptr<Halfedge>& adjacent_halfedge() const { return adjacent_halfedge_; }

 private:
  friend class HalfedgeMesh;
  friend struct ElementAccess;

  uint32_t face_id_;
  bool valid_ = true;
  Eigen::Vector3d normal_ = Eigen::Vector3d::Zero();
  std::shared_ptr<Halfedge> adjacent_halfedge_;
};

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_FACE_H_
