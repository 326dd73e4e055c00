// The ray through a touched pixel of the colour image, and where it meets a plane facing it.
#ifndef GEOMETRY_TOOLBOX_TOUCH_RAY_H_
#define GEOMETRY_TOOLBOX_TOUCH_RAY_H_

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace geometry_toolbox {

struct Ray {
  glm::dvec3 origin;
  glm::dvec3 direction;  // unit length
};

// The ray from the colour camera's centre through the pixel (touched_x, touched_y), in the point
// cloud's frame. The pixel's normalised image coordinates are computed in single precision from
// the intrinsics rounded to float, the rest in double; the camera is placed by the general
// inverse of `color_camera_T_point_cloud`.
Ray TouchRay(const glm::dmat4& color_camera_T_point_cloud, float touched_x, float touched_y,
             double fx, double fy, double cx, double cy);

// Scales the plane a x + b y + c z + d = 0 (`plane`: a, b, c, d) so that the point cloud's origin
// lies on its normal's side (d >= 0, NaN left alone) and, when the normal is longer than 1e-6,
// its normal has unit length.
void NormalisePlane(double* plane);

// Turns `plane` (a, b, c, d) so that its normal faces against `ray`, towards the camera, and
// writes where the ray's line meets it to `intersection`. Returns false, `intersection`
// untouched, when the ray is parallel to the plane within a cosine of 1e-6, or the cosine is NaN
// (a ray from a transform without an inverse); `plane` may be turned even then.
bool IntersectFacingPlane(const Ray& ray, double* plane, glm::dvec3* intersection);

}  // namespace geometry_toolbox

#endif  // GEOMETRY_TOOLBOX_TOUCH_RAY_H_
