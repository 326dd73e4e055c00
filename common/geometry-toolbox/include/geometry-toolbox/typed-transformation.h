// A rigid transformation: rotation quaternion and translation, identity by default.
#ifndef GEOMETRY_TOOLBOX_TYPED_TRANSFORMATION_H_
#define GEOMETRY_TOOLBOX_TYPED_TRANSFORMATION_H_

#include <Eigen/Core>
#include <Eigen/Geometry>

namespace geometry_toolbox {

// Holds fixed-size vectorisable members: objects that contain one need 16-byte aligned storage.
template <typename Scalar>
class TypedTransformation {
 public:
  EIGEN_MAKE_ALIGNED_OPERATOR_NEW

  using Vector3 = Eigen::Matrix<Scalar, 3, 1>;
  using Quaternion = Eigen::Quaternion<Scalar>;

  TypedTransformation() : translation_(Vector3::Zero()), rotation_(Quaternion::Identity()) {}
  TypedTransformation(const Quaternion& rotation, const Vector3& translation)
      : translation_(translation), rotation_(rotation) {}

  const Vector3& translation() const { return translation_; }
  const Quaternion& rotation() const { return rotation_; }

 private:
  Vector3 translation_;
  Quaternion rotation_;
};

}  // namespace geometry_toolbox

#endif  // GEOMETRY_TOOLBOX_TYPED_TRANSFORMATION_H_
