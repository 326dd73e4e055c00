// Forward declarations of the half-edge mesh elements and the one way they are allocated.
#ifndef HALFEDGE_MESH_ELEMENTS_H_
#define HALFEDGE_MESH_ELEMENTS_H_

#include <Eigen/Core>
#include <memory>
#include <utility>

namespace halfedge_mesh {

class Vertex;
class Halfedge;
class Edge;
class Face;
class HalfedgeMesh;
// Test support: removes single elements the way editing does.
struct ElementAccess;

// Elements hold fixed-size members and are shared between the mesh and its users: every one is
// allocated with 16-byte alignment, also on targets whose allocator only guarantees 8.
template <typename T, typename... Args>
std::shared_ptr<T> MakeElement(Args&&... args) {
  return std::allocate_shared<T>(Eigen::aligned_allocator<T>(), std::forward<Args>(args)...);
}

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_ELEMENTS_H_
