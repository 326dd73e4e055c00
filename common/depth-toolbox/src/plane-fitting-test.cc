// Distances, inlier selection, least-squares fits, sampling and RANSAC, against their definitions.
#include "depth-toolbox/plane-fitting.h"

#include <gflags/gflags.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "block-box.h"
#include "depth-toolbox/point-block-bounds.h"
#include "engine-data/pointcloud.h"
#include "geometry-toolbox/plane-model.h"
#include "inlier-test.h"
#include "passing-points.h"
#include "scatter-sums.h"

namespace {

using depth_toolbox::FindInliers;
using depth_toolbox::FitPlaneModel;
using depth_toolbox::FitPlaneModelRansac;
using depth_toolbox::RefitPlaneModel;
using depth_toolbox::SampleWithoutReplacement;
using depth_toolbox::SelectColumns;
using geometry_toolbox::PlaneModel;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

MATCHER_P(IsSamePlane, expected, "") { return arg.coefficients() == expected.coefficients(); }

Eigen::Matrix3Xf Points(std::initializer_list<Eigen::Vector3f> points) {
  Eigen::Matrix3Xf matrix(3, static_cast<Eigen::Index>(points.size()));
  Eigen::Index i = 0;
  for (const Eigen::Vector3f& point : points) matrix.col(i++) = point;
  return matrix;
}

// The inliers as defined: absolute single-precision distances, widened, strictly below.
std::vector<int> InliersByDefinition(const Eigen::Matrix3Xf& points, const PlaneModel& plane,
                                     double threshold) {
  Eigen::RowVectorXf distances(points.cols());
  plane.ComputeDistances(points, &distances);
  std::vector<int> inliers;
  for (Eigen::Index i = 0; i < points.cols(); ++i) {
    if (static_cast<double>(distances[i]) < threshold) inliers.push_back(static_cast<int>(i));
  }
  return inliers;
}

// A depth-frame-like cloud: rows of points over three planes with noise, and a few outliers.
Eigen::Matrix3Xf RoomCloud(int n_points, float noise, uint32_t seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::normal_distribution<float> jitter(0.0f, noise);
  Eigen::Matrix3Xf points(3, n_points);
  for (int i = 0; i < n_points; ++i) {
    const float s = static_cast<float>(i % 160) / 40.0f;
    const float t = static_cast<float>(i / 160) / 40.0f;
    Eigen::Vector3f point;
    if (i % 97 == 0) {
      point = Eigen::Vector3f(unit(engine), unit(engine), unit(engine)) * 5.0f;
    } else if (t < 1.5f) {
      point = Eigen::Vector3f(s - 2.0f, 1.5f, t + 1.0f);  // floor
    } else if (s < 2.5f) {
      point = Eigen::Vector3f(s - 2.0f, 3.0f - t, 2.5f);  // wall
    } else {
      point = Eigen::Vector3f(-2.0f, 3.0f - t, s);  // side wall
    }
    points.col(i) = point + Eigen::Vector3f(jitter(engine), jitter(engine), jitter(engine));
  }
  return points;
}

TEST(PlaneModel, MeasuresAgainstAnUnnormalisedNormalOnBothSides) {
  const PlaneModel plane(0.0, 0.0, 2.0, -2.0);  // z = 1, normal twice too long
  const Eigen::Matrix3Xf points = Points({{5, 5, 3}, {0, 0, 0}, {-1, 7, 1}});
  Eigen::RowVectorXf signed_distances(3);
  plane.ComputeSignedDistances(points, &signed_distances);
  EXPECT_EQ(signed_distances, Eigen::RowVector3f(2.0f, -1.0f, 0.0f));
  Eigen::RowVectorXf distances(3);
  plane.ComputeDistances(points, &distances);
  EXPECT_EQ(distances, Eigen::RowVector3f(2.0f, 1.0f, 0.0f));
  EXPECT_EQ(PlaneModel().coefficients(), Eigen::Vector4d(0, 0, 1, 0));
}

TEST(PlaneModel, StaysAlignedOnTheHeapAndInContainers) {
  const auto plane = std::make_unique<PlaneModel>(1.0, 2.0, 3.0, 4.0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(plane.get()) % 16, 0u);
  std::vector<PlaneModel, Eigen::aligned_allocator<PlaneModel>> planes(3);
  for (const PlaneModel& each : planes) EXPECT_EQ(reinterpret_cast<uintptr_t>(&each) % 16, 0u);
}

TEST(FindInliers, DecidesExactlyAsTheDistancesDoEvenAtTheThreshold) {
  std::mt19937 engine(11);
  std::uniform_real_distribution<double> coefficient(-3.0, 3.0);
  // 2003 points: the last block ends in points the four-at-a-time path leaves to the scalar one.
  const Eigen::Matrix3Xf points = RoomCloud(2003, 0.01f, 5);
  for (int trial = 0; trial < 40; ++trial) {
    // Normals far from unit length too, where the division by the length rounds differently.
    const double scale = std::pow(10.0, coefficient(engine) * 4.0);
    const PlaneModel plane(coefficient(engine) * scale, coefficient(engine) * scale,
                           coefficient(engine) * scale, coefficient(engine) * scale);
    Eigen::RowVectorXf distances(points.cols());
    plane.ComputeDistances(points, &distances);
    // Thresholds exactly at a distance, just above it, and between floats.
    const double at = distances[trial * 37 % points.cols()];
    for (const double threshold : {at, std::nextafter(at, 1e300), at + 1e-12, 0.05, 0.0, -1.0,
                                   std::numeric_limits<double>::infinity()}) {
      std::vector<int> inliers;
      FindInliers(points, plane, threshold, &inliers);
      ASSERT_EQ(inliers, InliersByDefinition(points, plane, threshold))
          << "trial " << trial << " threshold " << threshold;
    }
  }
}

TEST(FindInliers, NeverTakesNaNOrAZeroNormal) {
  const Eigen::Matrix3Xf points =
      Points({{0, 0, 0}, {0, 0, std::numeric_limits<float>::quiet_NaN()}, {1, 1, 0}});
  std::vector<int> inliers = {7};
  FindInliers(points, PlaneModel(), 1.0, &inliers);
  EXPECT_THAT(inliers, ElementsAre(0, 2));
  FindInliers(points, PlaneModel(0, 0, 0, 0), 1.0, &inliers);
  EXPECT_THAT(inliers, IsEmpty());
}

TEST(FindInliers, ReadsColumnsThatAreNotAdjacent) {
  Eigen::Matrix4Xf padded = Eigen::Matrix4Xf::Zero(4, 3);
  padded.col(1) << 0.0f, 0.0f, 5.0f, 0.0f;
  std::vector<int> inliers;
  FindInliers(padded.topRows<3>(), PlaneModel(), 0.5, &inliers);
  EXPECT_THAT(inliers, ElementsAre(0, 2));
}

TEST(FitPlaneModel, ThreePointsGiveTheUnnormalisedCrossProduct) {
  PlaneModel plane;
  ASSERT_TRUE(FitPlaneModel(Points({{0, 0, 1}, {2, 0, 1}, {0, 3, 1}}), &plane));
  // (p2 - p0) x (p2 - p1) = (0, 3, 0) x (-2, 3, 0); its length is twice the area.
  EXPECT_EQ(plane.coefficients(), Eigen::Vector4d(0, 0, 6, -6));
}

TEST(FitPlaneModel, MoreThanThreePointsGiveAUnitNormalThroughTheCentroid) {
  // z = 2x + 1, tilted and off the origin.
  const Eigen::Matrix3Xf points = Points({{0, 0, 1}, {1, 0, 3}, {0, 1, 1}, {1, 1, 3}, {2, 5, 5}});
  PlaneModel plane;
  ASSERT_TRUE(FitPlaneModel(points, &plane));
  EXPECT_NEAR(plane.normal().norm(), 1.0, 1e-6);
  const Eigen::Vector3d expected = Eigen::Vector3d(2, 0, -1).normalized();
  EXPECT_NEAR(std::fabs(plane.normal().dot(expected)), 1.0, 1e-6);
  Eigen::RowVectorXf distances(points.cols());
  plane.ComputeDistances(points, &distances);
  EXPECT_LT(distances.maxCoeff(), 1e-5f);
}

TEST(FitPlaneModel, RefusesPointsThatSpanNoPlaneAndLeavesThePlaneAlone) {
  const PlaneModel untouched(1, 2, 3, 4);
  PlaneModel plane = untouched;
  EXPECT_FALSE(FitPlaneModel(Points({{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}), &plane));
  EXPECT_FALSE(FitPlaneModel(Points({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {7, 0, 0}}), &plane));
  EXPECT_FALSE(FitPlaneModel(Points({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}, {1, 2, 3}}), &plane));
  EXPECT_FALSE(FitPlaneModel(Points({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}), &plane));
  EXPECT_THAT(plane, IsSamePlane(untouched));
}

TEST(FitPlaneModel, GivesTheSamePlaneForListedColumnsAsForTheirCopy) {
  // Sizes around the chunk and lane boundaries of the summation.
  const Eigen::Matrix3Xf points = RoomCloud(9000, 0.02f, 3);
  for (const int n : {4, 9, 2047, 2049, 4100, 8999}) {
    std::vector<int> indices;
    for (int i = 0; i < n; ++i) indices.push_back(i * 7919 % 9000);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    Eigen::Matrix3Xf selected(3, static_cast<Eigen::Index>(indices.size()));
    SelectColumns(points, indices, &selected);
    PlaneModel from_copy;
    PlaneModel from_list;
    ASSERT_EQ(FitPlaneModel(selected, &from_copy), FitPlaneModel(points, indices, &from_list));
    EXPECT_THAT(from_list, IsSamePlane(from_copy)) << n;
  }
}

TEST(BlockBox, EveryImplementationBoundsTheSameRunsAndSeesEveryNonFiniteCoordinate) {
  // Runs of every length up to past two register steps, at every offset, with extremes in every
  // position; then each run again with one NaN or infinite coordinate somewhere in it.
  std::mt19937 engine(23);
  std::normal_distribution<float> normal(0.0f, 3.0f);
  std::vector<float> xyz(3 * 200);
  for (float& value : xyz) value = normal(engine);
  xyz[3 * 77 + 1] = -1e30f;
  xyz[3 * 120 + 2] = 2e30f;
  xyz[3 * 5] = -0.0f;
  const auto& implementations = depth_toolbox::BlockBoxImplementations();
  const auto reference = implementations.plain();
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  for (int length = 1; length <= 60; ++length) {
    for (int first = 0; first + length <= 200; first += 7) {
      const float* run = xyz.data() + 3 * first;
      float expected_lo[3], expected_hi[3];
      ASSERT_TRUE(reference(run, length, expected_lo, expected_hi));
      for (const auto& implementation : implementations.all()) {
        if (!implementation.RunsHere()) continue;
        float lo[3], hi[3];
        EXPECT_TRUE(implementation.function(run, length, lo, hi)) << implementation.name;
        EXPECT_EQ(std::memcmp(lo, expected_lo, sizeof lo), 0) << implementation.name << length;
        EXPECT_EQ(std::memcmp(hi, expected_hi, sizeof hi), 0) << implementation.name << length;
        std::vector<float> spoilt(run, run + 3 * length);
        for (const float bad : {kNaN, kInf, -kInf}) {
          const size_t at = static_cast<size_t>((first * 13 + length * 5) % (3 * length));
          spoilt[at] = bad;
          EXPECT_FALSE(implementation.function(spoilt.data(), length, lo, hi))
              << implementation.name << " " << bad << " at " << at << " of " << 3 * length;
          spoilt[at] = run[at];
        }
      }
    }
  }
}

TEST(AddScatter, EveryImplementationGivesTheSameSumsBitForBit) {
  // Coordinates of every magnitude, some far from the centre (the sums round), running sums
  // carried over from an earlier call, and NaN and infinite coordinates (which must spread the
  // same way).
  constexpr int kLanes = depth_toolbox::kScatterLanes;
  std::mt19937 engine(17);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-30, 30);
  const int n = 40 * kLanes;
  std::vector<float> x(n), y(n), z(n);
  for (int i = 0; i < n; ++i) {
    x[static_cast<size_t>(i)] = std::ldexp(unit(engine), exponent(engine));
    y[static_cast<size_t>(i)] = 1.5f + 0.01f * unit(engine);
    z[static_cast<size_t>(i)] = 3.0f + std::ldexp(unit(engine), exponent(engine) / 3);
  }
  y[static_cast<size_t>(n - 5)] = std::numeric_limits<float>::quiet_NaN();
  z[static_cast<size_t>(n - 11)] = std::numeric_limits<float>::infinity();
  const float m[3] = {0.25f, 1.5f, 3.0f};
  const auto& implementations = depth_toolbox::AddScatterImplementations();
  for (const int count : {0, kLanes, 5 * kLanes, n}) {
    float expected[6][kLanes];
    for (int k = 0; k < 6; ++k) {
      for (int lane = 0; lane < kLanes; ++lane) expected[k][lane] = 0.5f * static_cast<float>(k);
    }
    // The first 8 points once, then `count` further points.
    implementations.plain()(x.data(), y.data(), z.data(), kLanes, m, expected);
    implementations.plain()(x.data() + kLanes, y.data() + kLanes, z.data() + kLanes,
                            std::min(count, n - kLanes) / kLanes * kLanes, m, expected);
    for (const auto& implementation : implementations.all()) {
      if (!implementation.RunsHere()) continue;
      float sums[6][kLanes];
      for (int k = 0; k < 6; ++k) {
        for (int lane = 0; lane < kLanes; ++lane) sums[k][lane] = 0.5f * static_cast<float>(k);
      }
      implementation.function(x.data(), y.data(), z.data(), kLanes, m, sums);
      implementation.function(x.data() + kLanes, y.data() + kLanes, z.data() + kLanes,
                              std::min(count, n - kLanes) / kLanes * kLanes, m, sums);
      EXPECT_EQ(std::memcmp(sums, expected, sizeof sums), 0)
          << implementation.name << ", " << count << " points";
    }
  }
}

TEST(GatherPassing, EveryImplementationKeepsThePassingPointsInOrder) {
  // Blocks of every length up to a whole block, planes that keep some, none or all of them,
  // points exactly at the bound, and NaN and infinite coordinates; then the same blocks taken
  // whole.
  constexpr int kBlock = depth_toolbox::PointBlockBounds::kPointsPerBlock;
  std::mt19937 engine(31);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> xyz(3 * kBlock);
  for (float& value : xyz) value = unit(engine);
  xyz[3 * 17 + 2] = std::numeric_limits<float>::quiet_NaN();
  xyz[3 * 40] = std::numeric_limits<float>::infinity();
  xyz[3 * 99 + 1] = -std::numeric_limits<float>::infinity();
  const auto& implementations = depth_toolbox::GatherPassingImplementations();
  for (const PlaneModel& plane : {PlaneModel(0, 1, 0, 0), PlaneModel(0.2, -1, 0.1, 0.3),
                                  PlaneModel(0, 0, 1, 5), PlaneModel(0, 0, 0, 1)}) {
    for (const double threshold : {0.0, 0.1, 0.5, 10.0}) {
      const depth_toolbox::InlierTest test = depth_toolbox::MakeInlierTest(plane, threshold);
      if (plane.b() == 1.0) {
        // The level plane through the origin: a point exactly at the bound fails, one just
        // inside passes.
        xyz[3 * 5 + 1] = test.bound;
        xyz[3 * 6 + 1] = std::nextafter(test.bound, 0.0f);
      }
      for (const bool every : {false, true}) {
        for (int length = 1; length <= kBlock; length += length < 40 ? 1 : 11) {
          std::vector<float> x(kBlock + 16), y(kBlock + 16), z(kBlock + 16);
          const int expected = implementations.plain()(xyz.data(), length, test, every, x.data(),
                                                       y.data(), z.data());
          for (const auto& implementation : implementations.all()) {
            if (!implementation.RunsHere()) continue;
            std::vector<float> xi(kBlock + 16), yi(kBlock + 16), zi(kBlock + 16);
            ASSERT_EQ(implementation.function(xyz.data(), length, test, every, xi.data(), yi.data(),
                                              zi.data()),
                      expected)
                << implementation.name << ", " << length << " points";
            const size_t bytes = sizeof(float) * static_cast<size_t>(expected);
            EXPECT_EQ(std::memcmp(xi.data(), x.data(), bytes), 0) << implementation.name;
            EXPECT_EQ(std::memcmp(yi.data(), y.data(), bytes), 0) << implementation.name;
            EXPECT_EQ(std::memcmp(zi.data(), z.data(), bytes), 0) << implementation.name;
          }
        }
      }
    }
  }
}

TEST(RefitPlaneModel, MatchesFindInliersThenFitPlaneModel) {
  const Eigen::Matrix3Xf points = RoomCloud(30000, 0.004f, 9);
  for (const PlaneModel& start :
       {PlaneModel(0, -1, 0, 1.5), PlaneModel(0, 0, 1, -2.5), PlaneModel(1, 0, 0, 2),
        PlaneModel(0.3, -0.9, 0.1, 1.2), PlaneModel(0, 0, 0, 1)}) {
    for (const double threshold : {0.0, 0.004, 0.01, 0.5}) {
      std::vector<int> inliers;
      FindInliers(points, start, threshold, &inliers);
      PlaneModel expected(9, 9, 9, 9);
      const bool expected_ok = inliers.size() >= 3 && FitPlaneModel(points, inliers, &expected);
      PlaneModel refitted(9, 9, 9, 9);
      Eigen::Index n_inliers = -1;
      EXPECT_EQ(RefitPlaneModel(points, start, threshold, &refitted, &n_inliers), expected_ok);
      EXPECT_EQ(n_inliers, static_cast<Eigen::Index>(inliers.size()));
      EXPECT_THAT(refitted, IsSamePlane(expected)) << start.coefficients().transpose();
    }
  }
}

TEST(RefitPlaneModel, TakesTheSamePointsAsFindInliersAtTheThresholdAndAmongNonFinitePoints) {
  // Points exactly at the threshold, NaN and infinite coordinates inside blocks that are
  // otherwise inliers, and a last block the sixteen-at-a-time path leaves partly to the scalar one.
  std::mt19937 engine(29);
  std::uniform_real_distribution<double> coefficient(-1.0, 1.0);
  Eigen::Matrix3Xf points = RoomCloud(5003, 0.004f, 13);
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  for (int i = 40; i < 5003; i += 173) points(i % 3, i) = i % 2 == 0 ? kNaN : kInf;
  points(1, 5001) = -kInf;
  for (int trial = 0; trial < 12; ++trial) {
    const PlaneModel plane(0.05 * coefficient(engine), -1.0 + 0.05 * coefficient(engine),
                           0.05 * coefficient(engine), 1.5 + 0.01 * coefficient(engine));
    Eigen::RowVectorXf distances(points.cols());
    plane.ComputeDistances(points, &distances);
    const double at = distances[trial * 401 % 1500];
    for (const double threshold : {at, std::nextafter(at, 1e300), 0.004, 0.0}) {
      std::vector<int> inliers;
      FindInliers(points, plane, threshold, &inliers);
      PlaneModel expected(9, 9, 9, 9);
      const bool expected_ok = inliers.size() >= 3 && FitPlaneModel(points, inliers, &expected);
      PlaneModel refitted(9, 9, 9, 9);
      Eigen::Index n_inliers = -1;
      EXPECT_EQ(RefitPlaneModel(points, plane, threshold, &refitted, &n_inliers), expected_ok);
      EXPECT_EQ(n_inliers, static_cast<Eigen::Index>(inliers.size()));
      EXPECT_THAT(refitted, IsSamePlane(expected)) << "trial " << trial << " at " << threshold;
    }
  }
}

class SampleWithoutReplacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FLAGS_random_generator_use_random_seed = false;
    FLAGS_random_generator_seed = 1;
  }
  gflags::FlagSaver flag_saver_;
};

TEST_F(SampleWithoutReplacementTest, ReplaysTheKnownSamplesOfSeedOne) {
  generic::RandomGeneratorProvider provider;
  std::vector<int> sample;
  SampleWithoutReplacement(3, 9, provider.generator(), &sample);
  EXPECT_THAT(sample, ElementsAre(0, 1, 7));
  SampleWithoutReplacement(3, 9, provider.generator(), &sample);
  EXPECT_THAT(sample, ElementsAre(4, 5, 2));
  generic::RandomGeneratorProvider fresh;
  SampleWithoutReplacement(3, 99, fresh.generator(), &sample);
  EXPECT_THAT(sample, ElementsAre(0, 13, 75));
}

TEST_F(SampleWithoutReplacementTest, SkipsRepeatsAndCanTakeTheWholeRange) {
  generic::RandomGeneratorProvider provider;
  std::vector<int> sample = {42};
  // From [0, 3] seed 1 draws 0, 0, 3, 1, ...: the repeated 0 is consumed.
  SampleWithoutReplacement(3, 3, provider.generator(), &sample);
  EXPECT_THAT(sample, ElementsAre(0, 3, 1));
  SampleWithoutReplacement(4, 3, provider.generator(), &sample);
  EXPECT_THAT(sample, ::testing::UnorderedElementsAre(0, 1, 2, 3));
  const uint32_t state = provider.generator().state();
  SampleWithoutReplacement(0, 3, provider.generator(), &sample);
  EXPECT_THAT(sample, IsEmpty());
  EXPECT_EQ(provider.generator().state(), state);
}

// RANSAC as written down, step by step, without any of the shortcuts.
bool RansacByDefinition(const Eigen::Matrix3Xf& points, int max_iterations, double threshold,
                        double sufficient, double minimum, PlaneModel* plane) {
  const uint32_t size = static_cast<uint32_t>(points.cols());
  generic::RandomGeneratorProvider provider;
  std::vector<int> best;
  double best_ratio = 0.0;
  std::vector<int> sample;
  for (int iteration = 0; iteration < max_iterations; ++iteration) {
    SampleWithoutReplacement(3, static_cast<int>(size - 1), provider.generator(), &sample);
    Eigen::Matrix3Xf sample_points(3, 3);
    SelectColumns(points, sample, &sample_points);
    PlaneModel candidate;
    if (!FitPlaneModel(sample_points, &candidate)) continue;
    const std::vector<int> inliers = InliersByDefinition(points, candidate, threshold);
    if (inliers.size() > best.size()) {
      best = inliers;
      best_ratio = static_cast<double>(best.size()) / size;
    }
    if (sufficient <= static_cast<double>(inliers.size()) / size && best.size() >= 3) break;
  }
  if (best.size() < 3 || !(best_ratio >= minimum)) return false;
  Eigen::Matrix3Xf inlier_points(3, static_cast<Eigen::Index>(best.size()));
  SelectColumns(points, best, &inlier_points);
  return FitPlaneModel(inlier_points, plane);
}

class FitPlaneModelRansacTest : public SampleWithoutReplacementTest {
 protected:
  std::shared_ptr<engine_data::PointCloud> Wrap(Eigen::Matrix3Xf* points) {
    hal_cloud_ = SolvoHalPointCloud{};
    hal_cloud_.num_points = static_cast<uint32_t>(points->cols());
    hal_cloud_.points = reinterpret_cast<float(*)[3]>(points->data());
    return engine_data::PointCloud::WrapSolvoHal(&hal_cloud_);
  }
  SolvoHalPointCloud hal_cloud_{};
};

TEST_F(FitPlaneModelRansacTest, FindsWhatTheStepByStepDefinitionFinds) {
  Eigen::Matrix3Xf points = RoomCloud(20000, 0.005f, 21);
  points.col(500).setConstant(std::numeric_limits<float>::quiet_NaN());
  const auto cloud = Wrap(&points);
  struct Case {
    int iterations;
    double threshold, sufficient, minimum;
  };
  for (const Case& run :
       {Case{50, 0.01, 0.8, 0.3}, Case{50, 0.01, 0.3, 0.1}, Case{20, 0.002, 1.0, 0.0},
        Case{200, 0.03, 0.45, 0.2}, Case{30, 0.01, 0.9, 0.9}, Case{5, 1e-7, 1.0, 0.0}}) {
    for (const int seed : {1, 2, 77}) {
      FLAGS_random_generator_seed = seed;
      PlaneModel expected(9, 9, 9, 9);
      const bool expected_ok = RansacByDefinition(points, run.iterations, run.threshold,
                                                  run.sufficient, run.minimum, &expected);
      PlaneModel found(9, 9, 9, 9);
      EXPECT_EQ(FitPlaneModelRansac(*cloud, run.iterations, run.threshold, run.sufficient,
                                    run.minimum, &found),
                expected_ok);
      EXPECT_THAT(found, IsSamePlane(expected))
          << "seed " << seed << " threshold " << run.threshold;
    }
  }
}

using PlaneModelDeathTest = FitPlaneModelRansacTest;

TEST_F(PlaneModelDeathTest, ChecksItsArguments) {
  const Eigen::Matrix3Xf points = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  Eigen::RowVectorXf two(2);
  EXPECT_DEATH(PlaneModel().ComputeSignedDistances(points, nullptr),
               "'distances' Must be non NULL");
  EXPECT_DEATH(PlaneModel().ComputeDistances(points, &two),
               "Check failed: points.cols\\(\\) == distances->cols\\(\\) ");
  EXPECT_DEATH(FindInliers(points, PlaneModel(), 1.0, nullptr),
               "'inlier_indices' Must be non NULL");
  Eigen::Matrix3Xf out(3, 1);
  EXPECT_DEATH(SelectColumns(points, {0}, nullptr), "'points_out' Must be non NULL");
  EXPECT_DEATH(SelectColumns(points, {0, 1}, &out),
               "Check failed: indices.size\\(\\) == static_cast<unsigned int>");
  EXPECT_DEATH(SelectColumns(points, {-1}, &out), "Check failed: index >= 0 ");
  EXPECT_DEATH(SelectColumns(points, {3}, &out), "Check failed: index < points_in.cols\\(\\) ");
  EXPECT_DEATH(FitPlaneModel(points, nullptr), "'plane_model' Must be non NULL");
  PlaneModel plane;
  EXPECT_DEATH(FitPlaneModel(points.leftCols(2), &plane), "Check failed: points.cols\\(\\) >= 3 ");
  generic::Engine engine(1);
  std::vector<int> sample;
  EXPECT_DEATH(SampleWithoutReplacement(3, 9, engine, nullptr), "'samples' Must be non NULL");
  EXPECT_DEATH(SampleWithoutReplacement(4, 2, engine, &sample),
               "Check failed: n_samples <= static_cast<unsigned int>\\(max_range \\+ 1\\) ");
}

TEST_F(PlaneModelDeathTest, RansacChecksItsRatiosAndTheCloudSize) {
  Eigen::Matrix3Xf points = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const auto cloud = Wrap(&points);
  PlaneModel plane;
  EXPECT_DEATH(FitPlaneModelRansac(*cloud, 1, 0.1, 0.8, 0.3, nullptr),
               "'plane_model' Must be non NULL");
  EXPECT_DEATH(FitPlaneModelRansac(*cloud, 1, 0.1, 0.8, -0.1, &plane),
               "Check failed: 0.0 <= minimum_inlier_ratio ");
  EXPECT_DEATH(FitPlaneModelRansac(*cloud, 1, 0.1, std::nan(""), 0.3, &plane),
               "Check failed: minimum_inlier_ratio <= sufficient_inlier_ratio ");
  EXPECT_DEATH(FitPlaneModelRansac(*cloud, 1, 0.1, 1.5, 0.3, &plane),
               "Check failed: sufficient_inlier_ratio <= 1.0 ");
  Eigen::Matrix3Xf two = points.leftCols(2);
  const auto small = Wrap(&two);
  EXPECT_DEATH(FitPlaneModelRansac(*small, 1, 0.1, 0.8, 0.3, &plane),
               "Check failed: static_cast<unsigned int>\\(size\\) >= kMinRequiredPoints "
               "Cloud does not have enough points to fit a plane using RANSAC.");
}

}  // namespace
