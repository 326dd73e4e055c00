// Quadric-error simplification of half-edge meshes, and its tuning flags.
#include "mesh-toolbox/mesh-toolbox.h"

DEFINE_int32(merge_vertices_k_neighbors, 32,
             "How many neighbor vertices to consider when merging close vertices.");
DEFINE_double(max_mesh_angle_cos, 0.999, "Maximum mesh face angle cosine.");
DEFINE_double(mesh_edge_length_weight, 0.1, "Edge length weight for quadric error.");
DEFINE_double(mesh_max_angle_normal_weight, 1000000.0, "Maximum face angle/normal weight.");
DEFINE_double(min_mesh_normal_flip_cos, -0.999, "Minimum mesh face normal change cosine.");
