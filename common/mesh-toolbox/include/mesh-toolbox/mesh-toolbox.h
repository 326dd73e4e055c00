// Quadric-error simplification of half-edge meshes, and the flags that tune it.
#ifndef MESH_TOOLBOX_MESH_TOOLBOX_H_
#define MESH_TOOLBOX_MESH_TOOLBOX_H_

#include <gflags/gflags.h>

#include <Eigen/Core>
#include <Eigen/StdVector>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "halfedge-mesh/halfedge-mesh.h"

DECLARE_int32(merge_vertices_k_neighbors);
DECLARE_double(max_mesh_angle_cos);
DECLARE_double(mesh_edge_length_weight);
DECLARE_double(mesh_max_angle_normal_weight);
DECLARE_double(min_mesh_normal_flip_cos);

namespace mesh_toolbox {

// One quadric per vertex, indexed by vertex id.
using QuadricTable = std::vector<Eigen::Matrix4d, Eigen::aligned_allocator<Eigen::Matrix4d>>;

// One candidate contraction: where the surviving vertex goes and what it costs. Cleared `valid`
// marks a candidate that went stale while it waited in the queue.
struct EdgeContractor {
  uint32_t edge_id = 0;
  Eigen::Vector3d position = Eigen::Vector3d::Zero();
  double cost = 0.0;
  bool valid = true;
};

// The plane quadric p·pᵀ of a face with a unit normal, p = (n, -n·corner); zero when the stored
// normal is not a unit vector (degenerate faces). Faces are not weighted by area.
Eigen::Matrix4d ComputeFaceQuadric(const std::shared_ptr<halfedge_mesh::HalfedgeMesh>& mesh,
                                   const std::shared_ptr<halfedge_mesh::Face>& face);

// Whether contracting `edge` keeps the surface sound: false for an empty or removed edge, an
// interior edge between two boundary vertices, a third vertex enclosed by exactly three triangles
// (they would fold onto each other), and ends that share a neighbour beyond the edge's own
// triangles (the contraction would glue two sheets along a doubled edge).
bool CanContractEdge(const std::shared_ptr<halfedge_mesh::HalfedgeMesh>& mesh,
                     const std::shared_ptr<halfedge_mesh::Edge>& edge);

// The largest corner cosine among the triangles that survive around both ends of the candidate's
// edge with the ends moved to its position, 0 when there are none, or mesh_max_angle_normal_weight
// when a corner gets sharper than max_mesh_angle_cos, a triangle degenerates, or a normal turns
// further than min_mesh_normal_flip_cos.
double ComputeContractionWeight(const std::shared_ptr<halfedge_mesh::HalfedgeMesh>& mesh,
                                const std::shared_ptr<EdgeContractor>& edge_contr);

// vᵀ·Q·v for the homogeneous point v.
double QuadricError(const Eigen::Matrix4d& quadric, const Eigen::Vector4d& v);

// The candidate for `edge` with the two ends' quadrics from `vertex_mat_q`, or empty when the
// edge may not or should not be contracted.
std::shared_ptr<EdgeContractor> ComputeEdgeContractor(
    const std::shared_ptr<halfedge_mesh::HalfedgeMesh>& mesh, const QuadricTable& vertex_mat_q,
    const std::shared_ptr<halfedge_mesh::Edge>& edge);

// Contracts the cheapest candidate edge until `mesh` (compacted) has at most `target_num_faces`
// faces or no candidate is left, then compacts it. A target at or above the face count leaves
// the mesh untouched.
void SimplifyMesh(const std::shared_ptr<halfedge_mesh::HalfedgeMesh>& mesh,
                  uint32_t target_num_faces);

// Told the fraction of the face reduction done so far (0 first, rising, 1 last); returns false
// to cancel.
using SimplifyProgress = std::function<bool(float fraction_done)>;

// SimplifyMesh, reporting its progress to `progress` (which may be empty). Returns false when
// `progress` cancelled: the mesh is then partly simplified and not compacted.
bool SimplifyMesh(const std::shared_ptr<halfedge_mesh::HalfedgeMesh>& mesh,
                  uint32_t target_num_faces, const SimplifyProgress& progress);

}  // namespace mesh_toolbox

#endif  // MESH_TOOLBOX_MESH_TOOLBOX_H_
