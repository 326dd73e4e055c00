// The demo's depth frame: a pinhole depth camera's rays cast against a mesh standing on a floor.
#include "demo-scene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace solvo_cli {
namespace {

struct Vec {
  double x, y, z;
  Vec operator+(const Vec& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec operator-(const Vec& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec operator*(double s) const { return {x * s, y * s, z * s}; }
};
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Normalized(const Vec& v) { return v * (1.0 / std::sqrt(Dot(v, v))); }

// Distance along `direction` from the origin to the triangle, or infinity (Moeller-Trumbore).
double RayTriangle(const Vec& direction, const Vec& a, const Vec& b, const Vec& c) {
  const Vec ab = b - a, ac = c - a;
  const Vec p = Cross(direction, ac);
  const double det = Dot(ab, p);
  if (std::fabs(det) < 1e-15) return std::numeric_limits<double>::infinity();
  const double inverse = 1.0 / det;
  const Vec s = Vec{0, 0, 0} - a;
  const double u = Dot(s, p) * inverse;
  if (u < 0.0 || u > 1.0) return std::numeric_limits<double>::infinity();
  const Vec q = Cross(s, ab);
  const double v = Dot(direction, q) * inverse;
  if (v < 0.0 || u + v > 1.0) return std::numeric_limits<double>::infinity();
  const double t = Dot(ac, q) * inverse;
  return t > 0.0 ? t : std::numeric_limits<double>::infinity();
}

}  // namespace

SceneFrame CastDepthFrame(const MeshData& mesh, double mesh_height, double yaw,
                          double camera_height, double distance, const PinholeCamera& camera,
                          double noise_sigma, uint32_t seed, double max_range) {
  // World: y up, the floor at y = 0, the mesh's footprint centred on the origin.
  Vec low{1e300, 1e300, 1e300}, high{-1e300, -1e300, -1e300};
  for (const Vector3f& v : mesh.vertices) {
    low = {std::min(low.x, double(v[0])), std::min(low.y, double(v[1])),
           std::min(low.z, double(v[2]))};
    high = {std::max(high.x, double(v[0])), std::max(high.y, double(v[1])),
            std::max(high.z, double(v[2]))};
  }
  const double scale = mesh_height / std::max(high.y - low.y, 1e-12);
  const Vec middle{(low.x + high.x) / 2, low.y, (low.z + high.z) / 2};
  const double cos_yaw = std::cos(yaw), sin_yaw = std::sin(yaw);
  std::vector<Vec> world(mesh.vertices.size());
  for (size_t i = 0; i < world.size(); ++i) {
    const Vec p =
        (Vec{mesh.vertices[i][0], mesh.vertices[i][1], mesh.vertices[i][2]} - middle) * scale;
    world[i] = {cos_yaw * p.x + sin_yaw * p.z, p.y, -sin_yaw * p.x + cos_yaw * p.z};
  }

  // The camera frame: z along the line of sight, x to the image's right, y down the image.
  const Vec eye{0.0, camera_height, -distance};
  const Vec target{0.0, mesh_height / 2, 0.0};
  const Vec z_axis = Normalized(target - eye);
  const Vec x_axis = Normalized(Cross(z_axis, Vec{0, 1, 0}));
  const Vec y_axis = Cross(z_axis, x_axis);
  const auto to_camera = [&](const Vec& w) {
    const Vec d = w - eye;
    return Vec{Dot(x_axis, d), Dot(y_axis, d), Dot(z_axis, d)};
  };
  std::vector<Vec> vertices(world.size());
  std::transform(world.begin(), world.end(), vertices.begin(), to_camera);

  SceneFrame frame;
  const Vec floor_normal{x_axis.y, y_axis.y, z_axis.y};  // world up in the camera's frame
  const double floor_d = -Dot(floor_normal, to_camera(Vec{0, 0, 0}));
  frame.floor_plane = {floor_normal.x, floor_normal.y, floor_normal.z, floor_d};
  const Vec centre = to_camera(target);
  frame.mesh_centre_pixel = {camera.fx * centre.x / centre.z + camera.cx,
                             camera.fy * centre.y / centre.z + camera.cy};

  const size_t n_pixels = size_t(camera.width) * size_t(camera.height);
  const auto ray = [&](int column, int row) {
    return Vec{(column - camera.cx) / camera.fx, (row - camera.cy) / camera.fy, 1.0};
  };
  // Distances along the unnormalised rays (z = 1), so a distance is the depth itself.
  std::vector<double> depth(n_pixels, std::numeric_limits<double>::infinity());
  frame.on_mesh.assign(n_pixels, 0);
  for (const auto& face : mesh.faces) {
    const Vec& a = vertices[face[0]];
    const Vec& b = vertices[face[1]];
    const Vec& c = vertices[face[2]];
    if (a.z <= 0.0 || b.z <= 0.0 || c.z <= 0.0) continue;
    double u_low = 1e300, u_high = -1e300, v_low = 1e300, v_high = -1e300;
    for (const Vec* p : {&a, &b, &c}) {
      const double u = camera.fx * p->x / p->z + camera.cx, v = camera.fy * p->y / p->z + camera.cy;
      u_low = std::min(u_low, u), u_high = std::max(u_high, u);
      v_low = std::min(v_low, v), v_high = std::max(v_high, v);
    }
    const int c0 = std::max(0, int(std::floor(u_low))),
              c1 = std::min(camera.width - 1, int(std::ceil(u_high)));
    const int r0 = std::max(0, int(std::floor(v_low))),
              r1 = std::min(camera.height - 1, int(std::ceil(v_high)));
    for (int row = r0; row <= r1; ++row) {
      for (int column = c0; column <= c1; ++column) {
        const double t = RayTriangle(ray(column, row), a, b, c);
        double& nearest = depth[size_t(row) * size_t(camera.width) + size_t(column)];
        if (t < nearest) {
          nearest = t;
          frame.on_mesh[size_t(row) * size_t(camera.width) + size_t(column)] = 1;
        }
      }
    }
  }
  for (int row = 0; row < camera.height; ++row) {
    for (int column = 0; column < camera.width; ++column) {
      const Vec direction = ray(column, row);
      const double facing = Dot(floor_normal, direction);
      if (facing >= 0.0) continue;
      const double t = -floor_d / facing;
      double& nearest = depth[size_t(row) * size_t(camera.width) + size_t(column)];
      if (t < nearest) {
        nearest = t;
        frame.on_mesh[size_t(row) * size_t(camera.width) + size_t(column)] = 0;
      }
    }
  }

  std::mt19937 engine(seed);
  std::normal_distribution<double> noise(0.0, noise_sigma);
  frame.exact_depth.assign(n_pixels, 0.0f);
  frame.points.reserve(n_pixels);
  for (int row = 0; row < camera.height; ++row) {
    for (int column = 0; column < camera.width; ++column) {
      const size_t pixel = size_t(row) * size_t(camera.width) + size_t(column);
      if (!(depth[pixel] <= max_range)) {
        frame.on_mesh[pixel] = 0;
        continue;
      }
      frame.exact_depth[pixel] = static_cast<float>(depth[pixel]);
      const Vec p = ray(column, row) * (depth[pixel] + noise(engine));
      frame.points.push_back(
          {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    }
  }
  return frame;
}

}  // namespace solvo_cli
