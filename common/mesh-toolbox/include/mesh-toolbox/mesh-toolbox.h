// Quadric-error simplification of half-edge meshes, and the flags that tune it.
#ifndef MESH_TOOLBOX_MESH_TOOLBOX_H_
#define MESH_TOOLBOX_MESH_TOOLBOX_H_

#include <gflags/gflags.h>

DECLARE_int32(merge_vertices_k_neighbors);
DECLARE_double(max_mesh_angle_cos);
DECLARE_double(mesh_edge_length_weight);
DECLARE_double(mesh_max_angle_normal_weight);
DECLARE_double(min_mesh_normal_flip_cos);

#endif  // MESH_TOOLBOX_MESH_TOOLBOX_H_
