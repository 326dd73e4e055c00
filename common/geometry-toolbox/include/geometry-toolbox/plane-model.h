// The plane a·x + b·y + c·z + d = 0 and the single-precision distances of points from it.
#ifndef GEOMETRY_TOOLBOX_PLANE_MODEL_H_
#define GEOMETRY_TOOLBOX_PLANE_MODEL_H_

#include <Eigen/Core>
#include <cmath>

#include "logging/ensure.h"

namespace geometry_toolbox {

// Coefficients (a, b, c, d), stored as given: the normal (a, b, c) need not have unit length, so
// every distance divides by its length. A fixed-size vectorisable member: 16-byte aligned
// wherever the plane lives.
class alignas(16) PlaneModel {
 public:
  EIGEN_MAKE_ALIGNED_OPERATOR_NEW

  // The plane z = 0.
  PlaneModel() : coefficients_(0.0, 0.0, 1.0, 0.0) {}
  PlaneModel(double a, double b, double c, double d) : coefficients_(a, b, c, d) {}

  double& a() { return coefficients_[0]; }
  double& b() { return coefficients_[1]; }
  double& c() { return coefficients_[2]; }
  double& d() { return coefficients_[3]; }
  double a() const { return coefficients_[0]; }
  double b() const { return coefficients_[1]; }
  double c() const { return coefficients_[2]; }
  double d() const { return coefficients_[3]; }

  Eigen::VectorBlock<Eigen::Vector4d, 3> normal() { return coefficients_.head<3>(); }
  Eigen::VectorBlock<const Eigen::Vector4d, 3> normal() const { return coefficients_.head<3>(); }
  const Eigen::Vector4d& coefficients() const { return coefficients_; }

  // Distance of every column of `points` from the plane, positive on the side the normal points
  // to; `distances` must already have one entry per column. Computed in single precision in a
  // fixed order, so that inlier decisions are the same wherever they are made. A zero normal
  // gives non-finite distances.
  void ComputeSignedDistances(const Eigen::Ref<const Eigen::Matrix3Xf>& points,
                              Eigen::RowVectorXf* distances) const {
    ENSURE_NOT_NULL(distances);
    ENSURE(points.cols() == distances->cols());
    const float a_f = static_cast<float>(a());
    const float b_f = static_cast<float>(b());
    const float c_f = static_cast<float>(c());
    const float d_f = static_cast<float>(d());
    const float length = std::sqrt(c_f * c_f + b_f * b_f + a_f * a_f);
    float* out = distances->data();
    for (Eigen::Index i = 0; i < points.cols(); ++i) {
      const float* point = points.data() + i * points.outerStride();
      out[i] = (SignedOffset(point[0], point[1], point[2], a_f, b_f, c_f) + d_f) / length;
    }
  }

  // The absolute values of ComputeSignedDistances, with the same checks.
  void ComputeDistances(const Eigen::Ref<const Eigen::Matrix3Xf>& points,
                        Eigen::RowVectorXf* distances) const {
    ENSURE_NOT_NULL(distances);
    ENSURE(points.cols() == distances->cols());
    Eigen::RowVectorXf signed_distances(points.cols());
    ComputeSignedDistances(points, &signed_distances);
    *distances = signed_distances.cwiseAbs();
  }

  // The dot product of a point with the single-precision normal, summed y, x, z. Every distance
  // and inlier test of the library sums in this order.
  static float SignedOffset(float x, float y, float z, float a_f, float b_f, float c_f) {
    return y * b_f + x * a_f + z * c_f;
  }

 private:
  Eigen::Vector4d coefficients_;
};

static_assert(alignof(PlaneModel) >= 16, "PlaneModel must be 16-byte aligned");

}  // namespace geometry_toolbox

#endif  // GEOMETRY_TOOLBOX_PLANE_MODEL_H_
