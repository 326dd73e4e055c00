// The demo's depth frame: a pinhole depth camera's rays cast against a mesh standing on a floor.
#ifndef SOLVO_SUPPORT_TOOL_DEMO_SCENE_H_
#define SOLVO_SUPPORT_TOOL_DEMO_SCENE_H_

#include <array>
#include <cstdint>
#include <vector>

#include "mesh-files.h"

namespace solvo_cli {

struct PinholeCamera {
  int width, height;
  double fx, fy, cx, cy;
};

struct SceneFrame {
  // One point per pixel whose ray meets the mesh or the floor within range, in pixel order, in
  // the camera's frame (x right, y down, z forward), metres, with the depth noise applied.
  std::vector<Vector3f> points;
  std::vector<float> exact_depth;           // per pixel, without noise; 0 where the ray met nothing
  std::vector<uint8_t> on_mesh;             // per pixel: 1 where the mesh is nearer than the floor
  std::array<double, 4> floor_plane;        // in the camera's frame, unit normal towards the camera
  std::array<double, 2> mesh_centre_pixel;  // where the mesh's middle projects
};

// Stands `mesh` (y up, any size) `mesh_height` metres tall on a floor, turned by `yaw` radians,
// and looks at it from a camera `camera_height` metres above the floor and `distance` metres
// away (horizontally), aimed at the mesh's middle. Depths get Gaussian noise of
// `noise_sigma` metres from a generator seeded with `seed`; rays beyond `max_range` see nothing.
SceneFrame CastDepthFrame(const MeshData& mesh, double mesh_height, double yaw,
                          double camera_height, double distance, const PinholeCamera& camera,
                          double noise_sigma, uint32_t seed, double max_range);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_DEMO_SCENE_H_
