// The touch ray, the plane's normalisation and its intersection with the ray.
#include "geometry-toolbox/touch-ray.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <limits>

namespace {

using geometry_toolbox::IntersectFacingPlane;
using geometry_toolbox::NormalisePlane;
using geometry_toolbox::Ray;
using geometry_toolbox::TouchRay;
using ::testing::DoubleNear;
using ::testing::ElementsAre;

constexpr double kFx = 500.0, kFy = 400.0, kCx = 320.0, kCy = 240.0;

TEST(TouchRay, LeavesTheCameraCentreThroughThePixelInThePointCloudsFrame) {
  // The camera sits at (1, 2, 3) of the point cloud's frame, turned a quarter about y.
  const glm::dmat4 point_cloud_T_color_camera =
      glm::rotate(glm::translate(glm::dmat4(1.0), glm::dvec3(1.0, 2.0, 3.0)), std::acos(0.0),
                  glm::dvec3(0.0, 1.0, 0.0));
  const glm::dmat4 color_camera_T_point_cloud = glm::inverse(point_cloud_T_color_camera);
  // 100 pixels right of the principal point and 80 below: the camera's direction (0.2, 0.2, 1).
  const Ray ray = TouchRay(color_camera_T_point_cloud, 420.0f, 320.0f, kFx, kFy, kCx, kCy);
  EXPECT_THAT(ray.origin.x, DoubleNear(1.0, 1e-12));
  EXPECT_THAT(ray.origin.y, DoubleNear(2.0, 1e-12));
  EXPECT_THAT(ray.origin.z, DoubleNear(3.0, 1e-12));
  const glm::dvec3 expected = glm::dvec3(point_cloud_T_color_camera *
                                         glm::dvec4(glm::normalize(glm::dvec3(0.2, 0.2, 1)), 0.0));
  EXPECT_THAT(ray.direction.x, DoubleNear(expected.x, 1e-7));
  EXPECT_THAT(ray.direction.y, DoubleNear(expected.y, 1e-7));
  EXPECT_THAT(ray.direction.z, DoubleNear(expected.z, 1e-7));
  EXPECT_THAT(glm::length(ray.direction), DoubleNear(1.0, 1e-15));
}

TEST(TouchRay, ComputesTheImageCoordinatesInSinglePrecision) {
  // cx = 0.1 is no float: in double the touch at 0.1f would lie a rounding off the principal
  // point; in single precision its offset is exactly zero and the ray is the optical axis.
  const Ray ray = TouchRay(glm::dmat4(1.0), 0.1f, 0.25f, 1.0, 1.0, 0.1, 0.25);
  EXPECT_EQ(ray.direction, glm::dvec3(0.0, 0.0, 1.0));
}

TEST(NormalisePlane, PutsTheOriginOnTheNormalsSideAndScalesToUnitLength) {
  double plane[4] = {0.0, 3.0, -4.0, -10.0};
  NormalisePlane(plane);
  EXPECT_THAT(plane, ElementsAre(0.0, -0.6, 0.8, 2.0));
  double through_origin[4] = {0.0, 0.0, -2.0, 0.0};
  NormalisePlane(through_origin);
  EXPECT_THAT(through_origin, ElementsAre(0.0, 0.0, -1.0, 0.0));
}

TEST(NormalisePlane, LeavesATinyNormalUnscaled) {
  double plane[4] = {0.0, 1e-7, 0.0, -5.0};
  NormalisePlane(plane);
  EXPECT_THAT(plane, ElementsAre(0.0, -1e-7, 0.0, 5.0));
}

TEST(IntersectFacingPlane, TurnsTheNormalTowardsTheCameraAndMeetsTheRayOnThePlane) {
  const Ray ray{glm::dvec3(0.0, 0.0, 0.0), glm::normalize(glm::dvec3(0.0, 1.0, 2.0))};
  // The floor y = 1.5, with its normal pointing down, away from the camera above it.
  for (const double sign : {1.0, -1.0}) {
    double plane[4] = {0.0, sign, 0.0, -1.5 * sign};
    glm::dvec3 point;
    ASSERT_TRUE(IntersectFacingPlane(ray, plane, &point));
    EXPECT_THAT(plane, ElementsAre(0.0, -1.0, 0.0, 1.5));
    EXPECT_THAT(point.x, DoubleNear(0.0, 1e-12));
    EXPECT_THAT(point.y, DoubleNear(1.5, 1e-12));
    EXPECT_THAT(point.z, DoubleNear(3.0, 1e-12));
  }
}

TEST(IntersectFacingPlane, FailsForARayAlongThePlaneOrANaNRayAndLeavesThePoint) {
  const glm::dvec3 untouched(7.0, 7.0, 7.0);
  // Edge-on: the cosine is just below the limit.
  const Ray grazing{glm::dvec3(0.0), glm::normalize(glm::dvec3(0.0, 0.9e-6, 1.0))};
  double floor[4] = {0.0, 1.0, 0.0, -1.5};
  glm::dvec3 point = untouched;
  EXPECT_FALSE(IntersectFacingPlane(grazing, floor, &point));
  EXPECT_EQ(point, untouched);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Ray broken{glm::dvec3(nan), glm::dvec3(nan)};
  EXPECT_FALSE(IntersectFacingPlane(broken, floor, &point));
  EXPECT_EQ(point, untouched);
}

}  // namespace
