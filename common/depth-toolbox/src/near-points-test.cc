// The points near a touch: every implementation of the near test selects what the definition does.
#include "depth-toolbox/near-points.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <limits>
#include <random>
#include <vector>

#include "near-point-marks.h"

namespace {

// A cloud as three floats a point.
struct Cloud {
  std::vector<float> xyz;
  void Add(float x, float y, float z) { xyz.insert(xyz.end(), {x, y, z}); }
};

// The near points as defined, one point at a time.
std::vector<float> NearPointsByDefinition(const std::vector<float>& xyz,
                                          const depth_toolbox::TouchProjection& projection) {
  std::vector<float> near;
  for (size_t i = 0; i < xyz.size() / 3; ++i) {
    const float* p = &xyz[3 * i];
    const glm::dvec4 q = projection.color_camera_T_point_cloud * glm::dvec4(p[0], p[1], p[2], 1.0);
    const float x_p = static_cast<float>(projection.cx + projection.fx * (q.x / q.z));
    const float y_p = static_cast<float>(projection.cy + projection.fy * (q.y / q.z));
    const float distance = std::sqrt((y_p - projection.touched_y) * (y_p - projection.touched_y) +
                                     (x_p - projection.touched_x) * (x_p - projection.touched_x));
    if (distance < 100.0f) near.insert(near.end(), p, p + 3);
  }
  return near;
}

TEST(GatherNearPoints, SelectsExactlyThePointsTheDefinitionSelects) {
  // A depth frame of a room seen through varying poses, touched in varying places, with points
  // placed at the rim of the touch circle, behind the camera, at its centre and NaN.
  std::mt19937 engine(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Cloud cloud;
  for (int row = 0; row < 120; ++row) {
    for (int column = 0; column < 160; ++column) {
      const float x_n = (static_cast<float>(column) - 80.0f) / 125.0f;
      const float y_n = (static_cast<float>(row) - 60.0f) / 125.0f;
      const float depth = y_n > 0.3f ? 1.5f / y_n : (x_n < -0.4f ? -2.0f / x_n : 5.0f);
      cloud.Add(x_n * depth, y_n * depth, depth);
    }
  }
  for (int trial = 0; trial < 12; ++trial) {
    depth_toolbox::TouchProjection projection;
    const glm::dvec3 axis = glm::normalize(glm::dvec3(unit(engine), unit(engine), unit(engine)));
    const glm::dmat4 rotation = glm::rotate(glm::dmat4(1.0), 0.3 * unit(engine), axis);
    projection.color_camera_T_point_cloud =
        glm::translate(glm::dmat4(1.0),
                       0.2 * glm::dvec3(unit(engine), unit(engine), unit(engine))) *
        rotation;
    projection.fx = 500.0 + 50.0 * unit(engine);
    projection.fy = projection.fx * (trial % 3 == 0 ? -1.0 : 1.0);
    projection.cx = 320.0 + 10.0 * unit(engine);
    projection.cy = 240.0 + 10.0 * unit(engine);
    projection.touched_x = static_cast<float>(320.0 + 300.0 * unit(engine));
    projection.touched_y = static_cast<float>(240.0 + 220.0 * unit(engine));
    // Runs of 128 points (a whole block each, as the frame holds 150 blocks) landing a hair
    // inside, on and outside the rim, on all four sides of the touch: blocks ruled out by their
    // boxes must lose no near point.
    Cloud trial_cloud = cloud;
    const glm::dmat4 inverse = glm::inverse(projection.color_camera_T_point_cloud);
    for (int side = 0; side < 4; ++side) {
      for (const double radius : {99.7, 100.0 - 1e-4, 100.0, 100.0 + 1e-4, 100.3}) {
        const double u = projection.touched_x + radius * (side == 0 ? 1 : side == 2 ? -1 : 0);
        const double v = projection.touched_y + radius * (side == 1 ? 1 : side == 3 ? -1 : 0);
        for (int k = 0; k < 128; ++k) {
          const double depth = 2.0 + 1e-6 * k;
          const glm::dvec4 p =
              inverse * glm::dvec4((u - projection.cx) / projection.fx * depth,
                                   (v - projection.cy) / projection.fy * depth, depth, 1.0);
          trial_cloud.Add(static_cast<float>(p.x), static_cast<float>(p.y),
                          static_cast<float>(p.z));
        }
      }
    }
    trial_cloud.Add(0, 0, 0);
    trial_cloud.Add(1, 1, -3);
    trial_cloud.Add(std::nanf(""), 0, 1);
    // A block the lanes take whole, holding the same oddities between near points: the camera's
    // centre, a point behind it, NaN and infinite coordinates and a point on the rim.
    const glm::dvec4 centre = inverse * glm::dvec4(0.0, 0.0, 0.0, 1.0);
    const glm::dvec4 on_rim =
        inverse * glm::dvec4((projection.touched_x + 100.0 - projection.cx) / projection.fx * 3.0,
                             (projection.touched_y - projection.cy) / projection.fy * 3.0, 3.0,
                             1.0);
    const glm::dvec4 at_touch =
        inverse * glm::dvec4((projection.touched_x - projection.cx) / projection.fx * 3.0,
                             (projection.touched_y - projection.cy) / projection.fy * 3.0, 3.0,
                             1.0);
    const auto add = [&trial_cloud](double x, double y, double z) {
      trial_cloud.Add(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    };
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 128; ++k) {
      const glm::dvec4& p = k % 3 == 0 ? at_touch : on_rim;
      if (k % 11 == 1) {
        add(centre.x, centre.y, centre.z);
      } else if (k % 11 == 4) {
        add(-p.x, -p.y, -p.z);
      } else if (k % 11 == 6) {
        add(nan, p.y, p.z);
      } else if (k % 11 == 9) {
        add(p.x, inf, p.z);
      } else {
        add(p.x, p.y, p.z);
      }
    }
    add(at_touch.x, at_touch.y, at_touch.z);
    const std::vector<float>& xyz = trial_cloud.xyz;
    const depth_toolbox::PointBlockBounds bounds(xyz.data(),
                                                 static_cast<Eigen::Index>(xyz.size() / 3));
    const std::vector<float> expected = NearPointsByDefinition(xyz, projection);
    for (const auto& marker : depth_toolbox::NearPointMarkers().all()) {
      if (!marker.RunsHere()) continue;
      EXPECT_EQ(depth_toolbox::GatherNearPoints(xyz.data(), bounds, projection, marker.function),
                expected)
          << "trial " << trial << ", " << marker.name;
    }
    // And the chosen one, by default.
    EXPECT_EQ(depth_toolbox::GatherNearPoints(xyz.data(), bounds, projection), expected);
  }
}

}  // namespace
