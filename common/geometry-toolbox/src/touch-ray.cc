// The ray through a touched pixel of the colour image, and where it meets a plane facing it.
#include "geometry-toolbox/touch-ray.h"

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/matrix.hpp>
#include <glm/vec4.hpp>

namespace geometry_toolbox {
namespace {

constexpr double kSmallestNormalisedLength = 1e-6;
constexpr double kParallelCosine = 1e-6;

}  // namespace

Ray TouchRay(const glm::dmat4& color_camera_T_point_cloud, float touched_x, float touched_y,
             double fx, double fy, double cx, double cy) {
  const float x_n = (touched_x - static_cast<float>(cx)) / static_cast<float>(fx);
  const float y_n = (touched_y - static_cast<float>(cy)) / static_cast<float>(fy);
  const double x_nd = static_cast<double>(x_n);
  const double y_nd = static_cast<double>(y_n);
  const double scale = 1.0 / std::sqrt(x_nd * x_nd + y_nd * y_nd + 1.0);
  const glm::dmat4 point_cloud_T_color_camera = glm::inverse(color_camera_T_point_cloud);
  const glm::dvec4 camera_centre = point_cloud_T_color_camera * glm::dvec4(0.0, 0.0, 0.0, 1.0);
  const glm::dvec4 ray_point =
      point_cloud_T_color_camera * glm::dvec4(x_nd * scale, y_nd * scale, scale, 1.0);
  Ray ray;
  ray.origin = glm::dvec3(camera_centre);
  const glm::dvec3 towards_ray_point = glm::dvec3(ray_point) - ray.origin;
  ray.direction = towards_ray_point / glm::length(towards_ray_point);
  return ray;
}

void NormalisePlane(double* plane) {
  if (plane[3] < 0.0) {
    for (int k = 0; k < 4; ++k) plane[k] = -plane[k];
  }
  const double length = std::sqrt(plane[1] * plane[1] + plane[0] * plane[0] + plane[2] * plane[2]);
  if (length > kSmallestNormalisedLength) {
    for (int k = 0; k < 4; ++k) plane[k] /= length;
  }
}

bool IntersectFacingPlane(const Ray& ray, double* plane, glm::dvec3* intersection) {
  const glm::dvec3& direction = ray.direction;
  double cosine = plane[1] * direction.y + plane[0] * direction.x + plane[2] * direction.z;
  if (cosine > 0.0) {
    for (int k = 0; k < 4; ++k) plane[k] = -plane[k];
    cosine = -cosine;
  }
  // Written so that a NaN cosine fails too, instead of giving NaN as a point.
  if (!(std::fabs(cosine) >= kParallelCosine)) return false;
  const glm::dvec3 normal(plane[0], plane[1], plane[2]);
  const double t = glm::dot(-plane[3] * normal - ray.origin, normal) / glm::dot(direction, normal);
  *intersection = ray.origin + t * direction;
  return true;
}

}  // namespace geometry_toolbox
