// The nearest-projection scans against a plain loop: every implementation, bit for bit.
#include "depth-toolbox/nearest-projection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The plain loop the lookup must agree with bit for bit, however it is organised.
depth_toolbox::NearestProjection ReferenceScan(const depth_toolbox::ProjectionQuery& q,
                                               const float (*xyz)[3], uint32_t count) {
  depth_toolbox::NearestProjection nearest;
  const double* m = q.color_camera_T_point_cloud;
  for (uint32_t i = 0; i < count; ++i) {
    const double x = xyz[i][0], y = xyz[i][1], z = xyz[i][2];
    volatile double px = m[0] * x;  // volatile: each step rounded on its own
    px = px + m[4] * y;
    px = px + m[8] * z;
    px = px + m[12];
    volatile double py = m[1] * x;
    py = py + m[5] * y;
    py = py + m[9] * z;
    py = py + m[13];
    volatile double pz = m[2] * x;
    pz = pz + m[6] * y;
    pz = pz + m[10] * z;
    pz = pz + m[14];
    volatile double a = q.fx * px;
    a = a / pz + q.cx;
    volatile double b = q.fy * py;
    b = b / pz + q.cy;
    volatile double du = a - q.u;
    volatile double dv = b - q.v;
    volatile double s = du * du;
    s = s + dv * dv;
    if (s < nearest.squared_distance) {
      nearest.squared_distance = s;
      nearest.depth = pz;
    }
  }
  return nearest;
}

TEST(NearestProjectionScans, EveryScanAgreesWithThePlainLoopBitForBit) {
  std::mt19937 engine(20260);
  std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
  std::uniform_int_distribution<int> kind(0, 19);
  depth_toolbox::ProjectionQuery query{};
  const double transform[16] = {0.96,  0.28,   -0.01,  0, -0.28, 0.96,    0.02,   0,
                                0.015, -0.017, 0.9997, 0, 0.031, -0.0022, 0.0041, 1};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = transform[k];
  query.fx = 1041.3;
  query.fy = 1039.7;
  query.cx = 639.1;
  query.cy = 358.4;
  for (uint32_t count : {0u, 1u, 2u, 3u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 1000u, 4099u}) {
    std::vector<float> xyz;
    for (uint32_t i = 0; i < count; ++i) {
      const int which = kind(engine);
      if (which == 0 && i > 0) {  // an exact duplicate of an earlier point: a tie
        const size_t source = 3 * (engine() % i);
        for (int c = 0; c < 3; ++c) xyz.push_back(xyz[source + c]);
      } else if (which == 1) {
        xyz.insert(xyz.end(), {coordinate(engine), kNaN, coordinate(engine)});
      } else if (which == 2) {
        xyz.insert(xyz.end(), {0.0f, 0.0f, 0.0f});
      } else {
        xyz.insert(xyz.end(), {coordinate(engine), coordinate(engine), coordinate(engine)});
      }
    }
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    for (double u : {640.0, 17.5, 1e9}) {
      query.u = u;
      query.v = u * 0.56;
      const depth_toolbox::NearestProjection expected = ReferenceScan(query, points, count);
      for (const auto& scan : depth_toolbox::NearestProjectionScans().all()) {
        if (!scan.RunsHere()) continue;
        const depth_toolbox::NearestProjection found = scan.function(query, points, count);
        EXPECT_EQ(found.squared_distance, expected.squared_distance)
            << scan.name << ", " << count << " points, u " << u;
        EXPECT_EQ(std::signbit(found.depth), std::signbit(expected.depth)) << scan.name;
        EXPECT_EQ(found.depth, expected.depth) << scan.name << ", " << count << " points";
      }
    }
  }
}

// The scans work through the cloud in groups and blocks of points; a winner must not depend on
// where those start. Points k (x, y, z) for k a power of two project to one pixel at distinct
// depths, so an exact tie shows which point won.
TEST(NearestProjectionScans, KeepTheEarliestOfTiedPointsWhereverTheyStand) {
  depth_toolbox::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.cx = 320.0;
  query.cy = 240.0;
  query.u = 330.0;
  query.v = 236.0;
  constexpr uint32_t kCount = 300;
  for (uint32_t first : {0u, 1u, 3u, 7u, 8u, 63u, 64u, 65u, 127u, 128u, 255u, 256u, 290u, 299u}) {
    std::vector<float> xyz;
    for (uint32_t i = 0; i < kCount; ++i) {  // far from (330, 236), or NaN every fifth point
      const float x = i % 5 == 4 ? kNaN : 0.5f + 0.001f * static_cast<float>(i);
      xyz.insert(xyz.end(), {x, -0.25f, 1.0f});
    }
    // (0.0625, -0.25, 3.2) lands about 10 px right of and 40 px above (320, 240): the tied points
    // come at `first` and after it, each twice as deep as the one before.
    float scale = 1.0f;
    for (uint32_t i = first; i < kCount; i += 37, scale *= 2.0f) {
      xyz[3 * i] = 0.0625f * scale;
      xyz[3 * i + 1] = -0.25f * scale;
      xyz[3 * i + 2] = 3.2f * scale;
    }
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    const depth_toolbox::NearestProjection expected = ReferenceScan(query, points, kCount);
    ASSERT_EQ(expected.depth, 3.2f) << "first tied point at " << first;
    for (const auto& scan : depth_toolbox::NearestProjectionScans().all()) {
      if (!scan.RunsHere()) continue;
      const depth_toolbox::NearestProjection found = scan.function(query, points, kCount);
      EXPECT_EQ(found.squared_distance, expected.squared_distance) << scan.name << ", " << first;
      EXPECT_EQ(found.depth, expected.depth) << scan.name << ", first tied point at " << first;
    }
  }
}

// Each point nearer than all before it, then each farther: the best changes in every group of
// the first cloud and never after the first point in the second.
TEST(NearestProjectionScans, FollowAWinnerThatChangesWithEveryPoint) {
  depth_toolbox::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.cx = 320.0;
  query.cy = 240.0;
  query.u = 320.0;
  query.v = 240.0;
  for (bool approaching : {true, false}) {
    constexpr uint32_t kCount = 1000;
    std::vector<float> xyz;
    for (uint32_t i = 0; i < kCount; ++i) {
      const float step = static_cast<float>(approaching ? kCount - i : i + 1);
      xyz.insert(xyz.end(), {0.001f * step, 0.0005f * step, 1.0f + 0.001f * static_cast<float>(i)});
    }
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    const depth_toolbox::NearestProjection expected = ReferenceScan(query, points, kCount);
    ASSERT_EQ(expected.depth, static_cast<double>(xyz[approaching ? 3 * kCount - 1 : 2]));
    for (const auto& scan : depth_toolbox::NearestProjectionScans().all()) {
      if (!scan.RunsHere()) continue;
      const depth_toolbox::NearestProjection found = scan.function(query, points, kCount);
      EXPECT_EQ(found.squared_distance, expected.squared_distance) << scan.name;
      EXPECT_EQ(found.depth, expected.depth) << scan.name << (approaching ? ", approaching" : "");
    }
  }
}

// A cloud whose every distance is NaN or +infinity has no nearest point, in no scan.
TEST(NearestProjectionScans, FindNoWinnerAmongNaNAndInfiniteDistances) {
  depth_toolbox::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.u = query.v = 100.0;
  std::vector<float> xyz;
  for (uint32_t i = 0; i < 200; ++i) {
    if (i % 3 == 0) {
      xyz.insert(xyz.end(), {kNaN, 0.5f, 1.0f});
    } else {  // z = 0: the projection is infinitely far, or NaN for x = 0
      xyz.insert(xyz.end(), {static_cast<float>(i % 2), 1.0f, 0.0f});
    }
  }
  const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
  for (const auto& scan : depth_toolbox::NearestProjectionScans().all()) {
    if (!scan.RunsHere()) continue;
    const depth_toolbox::NearestProjection found = scan.function(query, points, 200);
    EXPECT_EQ(found.squared_distance, std::numeric_limits<double>::infinity()) << scan.name;
    EXPECT_EQ(found.depth, 0.0) << scan.name;
  }
}

// Points far to the side of the queried pixel are passed over without their divisions once a
// near point is known. Here the first point lies 5 pixels below the queried pixel (squared
// distance exactly 25), and one contender on the queried row lies 5 pixels to the left or right
// give or take j 2^-44 pixels, at depths inside and outside the range in which points may be
// passed over. Nudging the queried column itself keeps every quotient exact, so the contender
// must win exactly when it is nearer than 5 pixels, whether within units in the last place of
// the bound or well beyond it.
TEST(NearestProjectionScans, DecideAContenderAtTheBestDistanceExactlyAsThePlainLoop) {
  depth_toolbox::ProjectionQuery query{};
  for (int k = 0; k < 16; ++k) query.color_camera_T_point_cloud[k] = kIdentity[k];
  query.fx = query.fy = 512.0;
  query.cx = 320.0;
  query.cy = 240.0;
  query.v = 250.0;
  std::mt19937 engine(5150);
  const int64_t nudges[] = {0, 1, 2, 7, 64, 1000, 1 << 14, 1 << 16, 1 << 20, 1 << 30};
  const float depths[] = {1.0f, 3.0f, 0.75f, 0x1p-20f, 0x1p-21f, 0x1p100f, -1.0f};
  int contender_wins = 0, first_point_wins = 0;
  for (int trial = 0; trial < 420; ++trial) {
    const int64_t j = nudges[engine() % 10] * (engine() % 2 == 0 ? 1 : -1);
    query.u = 330.0 + static_cast<double>(j) * 0x1p-44;
    const uint32_t count = 200 + engine() % 70;
    std::vector<float> xyz;
    for (uint32_t i = 0; i < count; ++i) xyz.insert(xyz.end(), {0.9f, 0.9f, 1.0f});  // far away
    const uint32_t first = engine() % 64;
    xyz[3 * first] = 10.0f / 512;  // column offset -j 2^-44, row offset 5
    xyz[3 * first + 1] = 15.0f / 512;
    xyz[3 * first + 2] = 1.0f;
    const uint32_t contender = 64 + engine() % (count - 64);
    const float z = depths[trial % 7];
    const float quotient = trial % 2 == 0 ? 15.0f : 5.0f;  // column offset +-5 - j 2^-44
    xyz[3 * contender] = quotient * z / 512;
    xyz[3 * contender + 1] = 10.0f * z / 512;
    xyz[3 * contender + 2] = z;
    const bool nearer = quotient == 15.0f ? j > 0 : j < 0;
    const auto* points = reinterpret_cast<const float(*)[3]>(xyz.data());
    const depth_toolbox::NearestProjection expected = ReferenceScan(query, points, count);
    ASSERT_EQ(expected.depth, nearer ? z : 1.0f) << "trial " << trial;
    (nearer ? contender_wins : first_point_wins) += 1;
    for (const auto& scan : depth_toolbox::NearestProjectionScans().all()) {
      if (!scan.RunsHere()) continue;
      const depth_toolbox::NearestProjection found = scan.function(query, points, count);
      EXPECT_EQ(found.squared_distance, expected.squared_distance)
          << scan.name << ", trial " << trial << ", j " << j << ", depth " << z;
      EXPECT_EQ(found.depth, expected.depth) << scan.name << ", trial " << trial;
    }
  }
  EXPECT_GT(contender_wins, 100);
  EXPECT_GT(first_point_wins, 100);
}

}  // namespace
