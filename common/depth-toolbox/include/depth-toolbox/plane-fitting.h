// Least-squares and RANSAC plane fits over 3xN single-precision point matrices.
#ifndef DEPTH_TOOLBOX_PLANE_FITTING_H_
#define DEPTH_TOOLBOX_PLANE_FITTING_H_

#include <Eigen/Core>
#include <cstdint>
#include <vector>

#include "depth-toolbox/point-block-bounds.h"
#include "engine-data/pointcloud.h"
#include "generic/random_generator_provider.h"
#include "geometry-toolbox/plane-model.h"

namespace depth_toolbox {

// The fewest points a cloud must have for RANSAC.
constexpr uint32_t kMinRequiredPoints = 3;

// Points as columns (x, y, z); matrices, maps and column blocks are accepted without a copy.
using PointsRef = Eigen::Ref<const Eigen::Matrix3Xf>;

// The indices, ascending, of the columns whose absolute distance from `plane_model`
// (ComputeDistances), widened to double, is strictly below `threshold`. A NaN distance is never
// an inlier. `inlier_indices` is replaced.
void FindInliers(const PointsRef& points, const geometry_toolbox::PlaneModel& plane_model,
                 double threshold, std::vector<int>* inlier_indices);

// Column i of `points_out` = column indices[i] of `points_in`. `points_out` must already have
// indices.size() columns, and every index must name a column of `points_in`.
void SelectColumns(const PointsRef& points_in, const std::vector<int>& indices,
                   Eigen::Matrix3Xf* points_out);

// Least-squares plane through the columns of `points` (at least 3). Three points give the
// unnormalised cross product (p2 - p0) x (p2 - p1); more give the unit eigenvector of the
// scatter matrix's smallest eigenvalue. Returns false and leaves `plane_model` untouched when the
// points are collinear or coincide.
bool FitPlaneModel(const PointsRef& points, geometry_toolbox::PlaneModel* plane_model);

// FitPlaneModel on the columns of `points` named by `indices` (at least 3), as if SelectColumns
// had copied them out first, with the same result.
bool FitPlaneModel(const PointsRef& points, const std::vector<int>& indices,
                   geometry_toolbox::PlaneModel* plane_model);

// FindInliers, then FitPlaneModel on the inliers, without listing them: `n_inliers` receives
// their number. Returns false, `refitted` untouched, when there are fewer than 3 inliers or the
// fit fails.
bool RefitPlaneModel(const PointsRef& points, const geometry_toolbox::PlaneModel& plane_model,
                     double threshold, geometry_toolbox::PlaneModel* refitted,
                     Eigen::Index* n_inliers);

// As above, with the block bounds of `points` made already; the columns must be adjacent.
bool RefitPlaneModel(const PointsRef& points, const PointBlockBounds& bounds,
                     const geometry_toolbox::PlaneModel& plane_model, double threshold,
                     geometry_toolbox::PlaneModel* refitted, Eigen::Index* n_inliers);

// Replaces `samples` with `n_samples` distinct values of [0, max_range], in the order they were
// first drawn with generic::UniformInt; repeated draws are consumed. Requires
// n_samples <= max_range + 1.
void SampleWithoutReplacement(uint32_t n_samples, int max_range, generic::Engine& generator,
                              std::vector<int>* samples);

// RANSAC over the cloud's points: `max_iterations` three-point samples from a freshly seeded
// generic::RandomGeneratorProvider, inliers closer than `distance_threshold`. The search ends
// early once a candidate reaches `sufficient_inlier_ratio`; the best candidate (the first with
// the most inliers) is accepted when its ratio reaches `minimum_inlier_ratio`, and its inliers
// are refitted by FitPlaneModel into `plane_model`. Returns false, `plane_model` untouched, when
// no plane is accepted. Requires 0 <= minimum_inlier_ratio <= sufficient_inlier_ratio <= 1 and
// at least kMinRequiredPoints points.
bool FitPlaneModelRansac(const engine_data::PointCloud& cloud, int max_iterations,
                         double distance_threshold, double sufficient_inlier_ratio,
                         double minimum_inlier_ratio, geometry_toolbox::PlaneModel* plane_model);

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_PLANE_FITTING_H_
