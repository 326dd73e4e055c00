// Least-squares and RANSAC plane fits over 3xN single-precision point matrices.
#include "depth-toolbox/plane-fitting.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "block-verdicts.h"
#include "depth-toolbox/point-block-bounds.h"
#include "inlier-test.h"
#include "logging/ensure.h"
#include "passing-points.h"
#include "scatter-sums.h"

namespace depth_toolbox {
namespace {

using geometry_toolbox::PlaneModel;

constexpr int kBlockPoints = PointBlockBounds::kPointsPerBlock;
constexpr int kLanes = kScatterLanes;

// Appends the indices of the passing points of `xyz` (n points), ascending.
void CollectInliers(const float* xyz, Eigen::Index n, const InlierTest& test,
                    std::vector<int>* inlier_indices) {
  int32_t keep[kBlockPoints];
  int block_indices[kBlockPoints];
  for (Eigen::Index begin = 0; begin < n; begin += kBlockPoints) {
    const int length = static_cast<int>(std::min<Eigen::Index>(kBlockPoints, n - begin));
    MarkInliers(xyz + 3 * begin, length, test, keep);
    int kept = 0;
    for (int j = 0; j < length; ++j) {
      block_indices[kept] = static_cast<int>(begin) + j;
      kept += keep[j];
    }
    inlier_indices->insert(inlier_indices->end(), block_indices, block_indices + kept);
  }
}

// The points as one contiguous array of x, y, z triples; `storage` holds a copy only when the
// columns of `points` are not adjacent.
const float* ContiguousPoints(const PointsRef& points, Eigen::Matrix3Xf* storage) {
  if (points.cols() <= 1 || points.outerStride() == 3) return points.data();
  *storage = points;
  return storage->data();
}

// Sources of a sequence of points for FitPlaneToSequence: Next writes the next at most kChunk
// points, one coordinate per array, and returns how many (0 at the end); Rewind starts over.

// Columns of a matrix, all of them or those listed.
class ColumnSource {
 public:
  ColumnSource(const PointsRef& points, const std::vector<int>* indices)
      : points_(points), indices_(indices) {}
  void Rewind() { next_ = 0; }
  int Next(float* x, float* y, float* z) {
    const Eigen::Index total =
        indices_ == nullptr ? points_.cols() : static_cast<Eigen::Index>(indices_->size());
    const int count = static_cast<int>(std::min<Eigen::Index>(kChunk, total - next_));
    for (int k = 0; k < count; ++k) {
      const Eigen::Index column =
          indices_ == nullptr ? next_ + k : (*indices_)[static_cast<size_t>(next_ + k)];
      x[k] = points_(0, column);
      y[k] = points_(1, column);
      z[k] = points_(2, column);
    }
    next_ += count;
    return count;
  }

 private:
  const PointsRef& points_;
  const std::vector<int>* indices_;
  Eigen::Index next_ = 0;
};

// The least-squares fit behind FitPlaneModel. Every source of points (a matrix, listed columns,
// the inliers of a cloud) goes through the same sums in the same order for the same points, and
// so gives the same plane.

// The centroid's sums: each coordinate summed from the first point on, in order; and the first
// three points, for a fit through exactly three.
struct CentroidSums {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  Eigen::Vector3f first_points[3];
  int n_first = 0;
  Eigen::Index n = 0;

  // The next `count` points of the sequence, one coordinate per array.
  void Add(const float* xs, const float* ys, const float* zs, int count) {
    // Locals: stores through the arrays could otherwise reach the sums.
    float sum_x = x;
    float sum_y = y;
    float sum_z = z;
    for (int k = 0; k < count; ++k) {
      sum_x += xs[k];
      sum_y += ys[k];
      sum_z += zs[k];
    }
    x = sum_x;
    y = sum_y;
    z = sum_z;
    for (int k = 0; k < count && n_first < 3; ++k) {
      first_points[n_first++] = Eigen::Vector3f(xs[k], ys[k], zs[k]);
    }
    n += count;
  }
};

// The plane from the centroid's sums; `scatter_pass(m_x, m_y, m_z, &scatter)` adds every point
// of the sequence to `scatter`, the last group padded with the centroid (which adds exact
// zeros). Fewer than 3 points give false.
template <typename ScatterPass>
bool PlaneFromSums(const CentroidSums& sums, ScatterPass&& scatter_pass, PlaneModel* plane_model) {
  const Eigen::Index n = sums.n;
  if (n < 3) return false;
  const float n_f = static_cast<float>(n);
  const Eigen::Vector3f centroid(sums.x / n_f, sums.y / n_f, sums.z / n_f);

  Eigen::Vector3f normal;
  if (n == 3) {
    // Unnormalised on purpose: its length is twice the triangle's area.
    const Eigen::Vector3f& p2 = sums.first_points[2];
    normal = (p2 - sums.first_points[0]).cross(p2 - sums.first_points[1]);
    const float length =
        std::sqrt(normal.x() * normal.x() + normal.y() * normal.y() + normal.z() * normal.z());
    if (!(length > 1e-9f)) return false;
  } else {
    ScatterSums scatter_sums;
    scatter_pass(centroid.x(), centroid.y(), centroid.z(), &scatter_sums);
    const auto combine = [](const float* lanes) {
      return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) +
             ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
    };
    Eigen::Matrix3f scatter;
    scatter(0, 0) = combine(scatter_sums.sums[0]);
    scatter(1, 0) = scatter(0, 1) = combine(scatter_sums.sums[1]);
    scatter(2, 0) = scatter(0, 2) = combine(scatter_sums.sums[2]);
    scatter(1, 1) = combine(scatter_sums.sums[3]);
    scatter(2, 1) = scatter(1, 2) = combine(scatter_sums.sums[4]);
    scatter(2, 2) = combine(scatter_sums.sums[5]);
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3f> solver(scatter);
    // Non-finite coordinates leave the iteration without an answer.
    if (solver.info() != Eigen::Success) return false;
    const Eigen::Vector3f& values = solver.eigenvalues();
    const int nonzero = (values[0] != 0.0f) + (values[1] != 0.0f) + (values[2] != 0.0f);
    // Coincident or collinear points span no plane.
    if (nonzero < 2) return false;
    int smallest = values[0] > values[1] ? 1 : 0;
    if (values[2] < values[smallest]) smallest = 2;
    normal = solver.eigenvectors().col(smallest);
  }
  plane_model->a() = static_cast<double>(normal.x());
  plane_model->b() = static_cast<double>(normal.y());
  plane_model->c() = static_cast<double>(normal.z());
  plane_model->d() = -(static_cast<double>(centroid.z()) * plane_model->c() +
                       static_cast<double>(centroid.y()) * plane_model->b() +
                       static_cast<double>(centroid.x()) * plane_model->a());
  return true;
}

// The fit over the points of `source`, whose number goes to `n_points`, read twice in chunks.
template <typename Source>
bool FitPlaneToSequence(Source& source, PlaneModel* plane_model, Eigen::Index* n_points) {
  alignas(16) float x[kChunk + kLanes];
  alignas(16) float y[kChunk + kLanes];
  alignas(16) float z[kChunk + kLanes];
  CentroidSums sums;
  source.Rewind();
  for (int count; (count = source.Next(x, y, z)) > 0;) sums.Add(x, y, z, count);
  *n_points = sums.n;
  const auto scatter_pass = [&](float m_x, float m_y, float m_z, ScatterSums* scatter) {
    // Points short of a whole group of kLanes wait at the front of the buffers for the next
    // chunk.
    int waiting = 0;
    source.Rewind();
    for (;;) {
      const int count = source.Next(x + waiting, y + waiting, z + waiting);
      const int total = waiting + count;
      int ready = total / kLanes * kLanes;
      if (count == 0 && ready < total) {
        ready += kLanes;
        for (int k = total; k < ready; ++k) {
          x[k] = m_x;
          y[k] = m_y;
          z[k] = m_z;
        }
      }
      scatter->Add(x, y, z, ready, m_x, m_y, m_z);
      if (count == 0) break;
      waiting = total - ready;
      for (int k = 0; k < waiting; ++k) {
        x[k] = x[ready + k];
        y[k] = y[ready + k];
        z[k] = z[ready + k];
      }
    }
  };
  return PlaneFromSums(sums, scatter_pass, plane_model);
}

// The fit over the points of `source` gathered once up front, one coordinate per array: deciding
// which points of a cloud pass a test costs more than keeping them. The centroid is summed as
// they come, while the next are decided, and the scatter read straight from the arrays.
template <typename Source>
bool FitGatheredPoints(Source& source, Eigen::Index capacity, PlaneModel* plane_model,
                       Eigen::Index* n_points) {
  // A source may write a whole chunk beyond the points it gives.
  const size_t size = static_cast<size_t>(capacity + kChunk);
  std::unique_ptr<float[]> x(new float[size]);
  std::unique_ptr<float[]> y(new float[size]);
  std::unique_ptr<float[]> z(new float[size]);
  CentroidSums sums;
  Eigen::Index n = 0;
  source.Rewind();
  for (int count; (count = source.Next(x.get() + n, y.get() + n, z.get() + n)) > 0;) {
    sums.Add(x.get() + n, y.get() + n, z.get() + n, count);
    n += count;
    ENSURE(n <= capacity);
  }
  *n_points = n;
  const auto scatter_pass = [&](float m_x, float m_y, float m_z, ScatterSums* scatter) {
    Eigen::Index ready = n / kLanes * kLanes;
    if (ready < n) {
      ready += kLanes;
      for (Eigen::Index k = n; k < ready; ++k) {
        x[k] = m_x;
        y[k] = m_y;
        z[k] = m_z;
      }
    }
    scatter->Add(x.get(), y.get(), z.get(), ready, m_x, m_y, m_z);
  };
  return PlaneFromSums(sums, scatter_pass, plane_model);
}

// The fit over the points of the cloud at `xyz` that pass `test`, with `verdicts` the blocks'
// verdicts under that test.
bool FitPassingPoints(const float* xyz, const PointBlockBounds& bounds, const int32_t* verdicts,
                      const InlierTest& test, PlaneModel* plane_model, Eigen::Index* n_points) {
  Eigen::Index capacity = 0;
  for (Eigen::Index block = 0; block < bounds.NBlocks(); ++block) {
    if (verdicts[block] != kNoPointPasses) {
      capacity += bounds.BlockEnd(block) - bounds.BlockBegin(block);
    }
  }
  PassingPointSource passing(xyz, bounds, verdicts, test);
  return FitGatheredPoints(passing, capacity, plane_model, n_points);
}

}  // namespace

void FindInliers(const PointsRef& points, const PlaneModel& plane_model, double threshold,
                 std::vector<int>* inlier_indices) {
  ENSURE_NOT_NULL(inlier_indices);
  inlier_indices->clear();
  Eigen::Matrix3Xf storage;
  const float* xyz = ContiguousPoints(points, &storage);
  CollectInliers(xyz, points.cols(), MakeInlierTest(plane_model, threshold), inlier_indices);
}

void SelectColumns(const PointsRef& points_in, const std::vector<int>& indices,
                   Eigen::Matrix3Xf* points_out) {
  ENSURE_NOT_NULL(points_out);
  ENSURE(indices.size() == static_cast<unsigned int>(points_out->cols()));
  for (size_t i = 0; i < indices.size(); ++i) {
    const int index = indices[i];
    ENSURE(index >= 0);
    ENSURE(index < points_in.cols());
    points_out->col(static_cast<Eigen::Index>(i)) = points_in.col(index);
  }
}

bool FitPlaneModel(const PointsRef& points, PlaneModel* plane_model) {
  ENSURE_NOT_NULL(plane_model);
  ENSURE(points.cols() >= 3);
  ColumnSource source(points, nullptr);
  Eigen::Index n_points;
  return FitPlaneToSequence(source, plane_model, &n_points);
}

bool FitPlaneModel(const PointsRef& points, const std::vector<int>& indices,
                   PlaneModel* plane_model) {
  ENSURE_NOT_NULL(plane_model);
  ENSURE(indices.size() >= 3);
  for (const int index : indices) {
    ENSURE(index >= 0);
    ENSURE(index < points.cols());
  }
  ColumnSource source(points, &indices);
  Eigen::Index n_points;
  return FitPlaneToSequence(source, plane_model, &n_points);
}

bool RefitPlaneModel(const PointsRef& points, const PlaneModel& plane_model, double threshold,
                     PlaneModel* refitted, Eigen::Index* n_inliers) {
  ENSURE_NOT_NULL(refitted);
  ENSURE_NOT_NULL(n_inliers);
  Eigen::Matrix3Xf storage;
  const float* xyz = ContiguousPoints(points, &storage);
  const PointBlockBounds bounds(xyz, points.cols());
  return RefitPlaneModel(Eigen::Map<const Eigen::Matrix3Xf>(xyz, 3, points.cols()), bounds,
                         plane_model, threshold, refitted, n_inliers);
}

bool RefitPlaneModel(const PointsRef& points, const PointBlockBounds& bounds,
                     const PlaneModel& plane_model, double threshold, PlaneModel* refitted,
                     Eigen::Index* n_inliers) {
  ENSURE_NOT_NULL(refitted);
  ENSURE_NOT_NULL(n_inliers);
  ENSURE(bounds.NPoints() == points.cols());
  ENSURE(points.cols() <= 1 || points.outerStride() == 3);
  const float* xyz = points.data();
  const InlierTest test = MakeInlierTest(plane_model, threshold);
  std::vector<int32_t> verdicts(static_cast<size_t>(bounds.NBlocks()));
  ClassifyBlocks(bounds, test, verdicts.data());
  return FitPassingPoints(xyz, bounds, verdicts.data(), test, refitted, n_inliers);
}

void SampleWithoutReplacement(uint32_t n_samples, int max_range, generic::Engine& generator,
                              std::vector<int>* samples) {
  ENSURE_NOT_NULL(samples);
  ENSURE(n_samples <= static_cast<unsigned int>(max_range + 1));
  samples->clear();
  if (n_samples == 0) return;
  while (samples->size() < n_samples) {
    const int value = generic::UniformInt(generator, 0, max_range);
    if (std::find(samples->begin(), samples->end(), value) == samples->end()) {
      samples->push_back(value);
    }
  }
}

bool FitPlaneModelRansac(const engine_data::PointCloud& cloud, int max_iterations,
                         double distance_threshold, double sufficient_inlier_ratio,
                         double minimum_inlier_ratio, PlaneModel* plane_model) {
  ENSURE_NOT_NULL(plane_model);
  ENSURE(0.0 <= minimum_inlier_ratio);
  ENSURE(minimum_inlier_ratio <= sufficient_inlier_ratio);
  ENSURE(sufficient_inlier_ratio <= 1.0);
  const uint32_t size = cloud.NPoints();
  ENSURE(static_cast<unsigned int>(size) >= kMinRequiredPoints)
      << "Cloud does not have enough points to fit a plane using RANSAC.";
  const Eigen::Map<const Eigen::Matrix3Xf> points = cloud.Points();
  const float* xyz = points.data();
  ENSURE(xyz != nullptr);
  const double size_d = static_cast<double>(size);
  // Every candidate is tested against every point: boxes around runs of points decide most runs
  // at once.
  const PointBlockBounds bounds(xyz, size);
  const Eigen::Index n_blocks = bounds.NBlocks();
  std::vector<int32_t> verdicts(static_cast<size_t>(n_blocks));

  // One generator per run: concurrent runs share nothing, and a fixed seed replays a run exactly.
  generic::RandomGeneratorProvider provider;
  std::vector<int> sample;
  Eigen::Matrix3Xf sample_points(3, 3);
  // Only the best candidate's inliers are ever used, and a candidate's inliers are fully
  // determined by its test: keep its count and test, and go through its inliers once at the end.
  uint32_t best_count = 0;
  double best_ratio = 0.0;
  InlierTest best_test{};
  for (int iteration = 0; iteration < max_iterations; ++iteration) {
    SampleWithoutReplacement(3, static_cast<int>(size - 1), provider.generator(), &sample);
    SelectColumns(points, sample, &sample_points);
    PlaneModel candidate;
    if (!FitPlaneModel(sample_points, &candidate)) continue;
    const InlierTest test = MakeInlierTest(candidate, distance_threshold);

    // A candidate that can no longer beat the best count nor reach the sufficient ratio changes
    // nothing: stop counting it. The blocks decided by their boxes are counted first, so that
    // hopeless candidates are given up before any point is looked at.
    ClassifyBlocks(bounds, test, verdicts.data());
    uint32_t count = 0;
    uint32_t unseen = 0;
    for (Eigen::Index block = 0; block < n_blocks; ++block) {
      const uint32_t length =
          static_cast<uint32_t>(bounds.BlockEnd(block) - bounds.BlockBegin(block));
      const int32_t verdict = verdicts[static_cast<size_t>(block)];
      count += verdict == kEveryPointPasses ? length : 0;
      unseen += verdict == kLookAtEachPoint ? length : 0;
    }
    const auto cannot_matter = [&] {
      const uint32_t at_most = count + unseen;
      return at_most <= best_count &&
             static_cast<double>(at_most) / size_d < sufficient_inlier_ratio;
    };
    bool can_matter = !cannot_matter();
    constexpr int kBlocksBetweenChecks = 16;
    int blocks_since_check = 0;
    for (Eigen::Index block = 0; can_matter && block < n_blocks; ++block) {
      if (verdicts[static_cast<size_t>(block)] != kLookAtEachPoint) continue;
      const Eigen::Index begin = bounds.BlockBegin(block);
      const int length = static_cast<int>(bounds.BlockEnd(block) - begin);
      count += static_cast<uint32_t>(CountInliers(xyz + 3 * begin, length, test));
      unseen -= static_cast<uint32_t>(length);
      if (++blocks_since_check == kBlocksBetweenChecks) {
        blocks_since_check = 0;
        can_matter = !cannot_matter();
      }
    }
    if (!can_matter) continue;

    // A later candidate with the same count does not replace the earlier one.
    if (count > best_count) {
      best_count = count;
      best_ratio = static_cast<double>(count) / size_d;
      best_test = test;
    }
    const double ratio = static_cast<double>(count) / size_d;
    if (sufficient_inlier_ratio <= ratio && best_count >= 3) break;
  }

  if (best_count < 3 || !(best_ratio >= minimum_inlier_ratio)) return false;
  ClassifyBlocks(bounds, best_test, verdicts.data());
  Eigen::Index n_inliers;
  return FitPassingPoints(xyz, bounds, verdicts.data(), best_test, plane_model, &n_inliers);
}

}  // namespace depth_toolbox
