// Exported point cloud records and plane fits: refinement, RANSAC, and the plane under a touch.
#include "support-depth-toolbox.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <limits>
#include <vector>

#include "argument-check.h"
#include "depth-toolbox/near-points.h"
#include "depth-toolbox/plane-fitting.h"
#include "depth-toolbox/point-block-bounds.h"
#include "engine-data/pointcloud.h"
#include "exported-call.h"
#include "geometry-toolbox/plane-model.h"
#include "geometry-toolbox/touch-ray.h"
#include "logging/log-statement.h"
#include "pose-transform.h"

namespace {

using geometry_toolbox::PlaneModel;

constexpr char kCreateXYZijSignature[] =
    "SolvoErrorType SolvoSupport_createXYZij(uint32_t, SolvoXYZij*)";
constexpr char kFreeXYZijSignature[] = "SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*)";
constexpr char kCopyXYZijSignature[] =
    "SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij*, SolvoXYZij*)";
constexpr char kRefineSignature[] =
    "SolvoErrorType SolvoInternalSupport_refinePlaneModel(const SolvoXYZij*, const double*, "
    "double, double*)";
constexpr char kRansacSignature[] =
    "SolvoErrorType SolvoInternalSupport_fitPlaneToPointCloudRANSAC(const SolvoXYZij*, int, "
    "double, double, double, double*)";
constexpr char kNearClickMatrixSignature[] =
    "SolvoErrorType SolvoSupport_fitPlaneModelNearClickMatrixTransform(const SolvoXYZij*, const "
    "SolvoCameraIntrinsics*, const double*, const float*, double*, double*)";
constexpr char kNearClickSignature[] =
    "SolvoErrorType SolvoSupport_fitPlaneModelNearClick(const SolvoXYZij*, const "
    "SolvoCameraIntrinsics*, const SolvoPoseData*, const float*, double*, double*)";

// The plane under a touch: the fewest points near it, and RANSAC's and the refinement's
// parameters.
constexpr uint32_t kFewestNearPoints = 3;
constexpr int kRansacIterations = 50;
constexpr double kRansacDistanceThreshold = 0.01;
constexpr double kRansacSufficientInlierRatio = 0.8;
constexpr double kRansacMinimumInlierRatio = 0.3;
constexpr double kRefineDistanceThreshold = 0.01;

// Empties every field this library owns in a record; the service's word at offset 0 stays.
void ClearXYZij(SolvoXYZij* point_cloud) {
  point_cloud->xyz = nullptr;
  point_cloud->timestamp = 0.0;
  point_cloud->point_count = 0;
  std::memset(point_cloud->tail_words, 0, sizeof(point_cloud->tail_words));
}

void WritePlane(const PlaneModel& plane_model, double* plane) {
  plane[0] = plane_model.a();
  plane[1] = plane_model.b();
  plane[2] = plane_model.c();
  plane[3] = plane_model.d();
}

// SolvoInternalSupport_refinePlaneModel once its arguments have passed their checks; `bounds`
// are the cloud's block bounds when the caller has made them already, else null.
SolvoErrorType RefineCheckedPlaneModel(const SolvoXYZij& point_cloud,
                                       const double* input_plane_model, double distance_threshold,
                                       double* output_plane_model,
                                       const depth_toolbox::PointBlockBounds* bounds) {
  SolvoHalPointCloud hal_cloud;
  solvo_support_api::SolvoHalPointCloudFromSolvoXYZ(point_cloud, &hal_cloud);
  const auto cloud = engine_data::PointCloud::WrapSolvoHal(&hal_cloud);

  // Callers may pass one array as input and output plane: read all four coefficients first.
  const PlaneModel input(input_plane_model[0], input_plane_model[1], input_plane_model[2],
                         input_plane_model[3]);
  PlaneModel refined;
  Eigen::Index n_inliers = 0;
  const bool refitted =
      bounds == nullptr ? depth_toolbox::RefitPlaneModel(cloud->Points(), input, distance_threshold,
                                                         &refined, &n_inliers)
                        : depth_toolbox::RefitPlaneModel(cloud->Points(), *bounds, input,
                                                         distance_threshold, &refined, &n_inliers);
  if (n_inliers < 3) {
    LOG_ERROR() << "Insufficient number of inliers during plane refinement";
    return SOLVO_STATUS_FAILED;
  }
  if (!refitted) return SOLVO_STATUS_FAILED;
  WritePlane(refined, output_plane_model);
  return SOLVO_STATUS_OK;
}

}  // namespace

namespace solvo_support_api {

int64_t TimestampNanoseconds(double timestamp_s) {
  const double nanoseconds = timestamp_s * 1e9;
  if (std::isnan(nanoseconds)) return 0;
  // 2^63 is exactly representable; anything at or above it does not fit.
  constexpr double kLimit = 9223372036854775808.0;
  if (nanoseconds >= kLimit) return std::numeric_limits<int64_t>::max();
  if (nanoseconds < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(nanoseconds);
}

void SolvoHalPointCloudFromSolvoXYZ(const SolvoXYZij& point_cloud, SolvoHalPointCloud* hal_cloud) {
  engine_data::ResetSolvoHalPointCloud(hal_cloud);
  hal_cloud->points = point_cloud.xyz;
  hal_cloud->num_points = point_cloud.point_count;
  hal_cloud->timestamp_ns = TimestampNanoseconds(point_cloud.timestamp);
}

SolvoErrorType CheckPointCloud(const SolvoXYZij* point_cloud, const char* signature) {
  if (point_cloud == nullptr) return SOLVO_REJECT(signature, " point_cloud is nullptr.");
  if (point_cloud->point_count < depth_toolbox::kMinRequiredPoints) {
    return SOLVO_REJECT(signature, " insufficient number of points (3 required).");
  }
  // The fits read every point: a count without points would be read through a null pointer.
  if (point_cloud->xyz == nullptr) return SOLVO_REJECT(signature, " point_cloud->xyz is nullptr.");
  return SOLVO_STATUS_OK;
}

}  // namespace solvo_support_api

extern "C" {

SolvoErrorType SolvoSupport_createXYZij(uint32_t max_point_count, SolvoXYZij* point_cloud) {
  const solvo_support_api::ExportedCall call;
  if (point_cloud == nullptr) {
    return SOLVO_REJECT(kCreateXYZijSignature, " point_cloud is nullptr.");
  }
  // On 32-bit targets the byte count of a large cloud does not fit in size_t.
  if (max_point_count > std::numeric_limits<size_t>::max() / sizeof(float[3])) {
    return SOLVO_REJECT(kCreateXYZijSignature, " max_point_count is too large.");
  }
  ClearXYZij(point_cloud);
  point_cloud->xyz = new float[max_point_count][3];
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij* point_cloud) {
  const solvo_support_api::ExportedCall call;
  if (point_cloud == nullptr) {
    return SOLVO_REJECT(kFreeXYZijSignature, " point_cloud is nullptr.");
  }
  delete[] point_cloud->xyz;
  ClearXYZij(point_cloud);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij* input_point_cloud,
                                      SolvoXYZij* output_point_cloud) {
  const solvo_support_api::ExportedCall call;
  if (input_point_cloud == nullptr) {
    return SOLVO_REJECT(kCopyXYZijSignature, " input_point_cloud is nullptr.");
  }
  if (output_point_cloud == nullptr) {
    return SOLVO_REJECT(kCopyXYZijSignature, " output_point_cloud is nullptr.");
  }
  if (input_point_cloud->point_count != 0) {
    std::memmove(output_point_cloud->xyz, input_point_cloud->xyz,
                 size_t{input_point_cloud->point_count} * sizeof(float[3]));
  }
  output_point_cloud->point_count = input_point_cloud->point_count;
  output_point_cloud->timestamp = input_point_cloud->timestamp;
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoInternalSupport_refinePlaneModel(const SolvoXYZij* point_cloud,
                                                     const double* input_plane_model,
                                                     double distance_threshold,
                                                     double* output_plane_model) {
  const solvo_support_api::ExportedCall call;
  const SolvoErrorType cloud_status =
      solvo_support_api::CheckPointCloud(point_cloud, kRefineSignature);
  if (cloud_status != SOLVO_STATUS_OK) return cloud_status;
  if (input_plane_model == nullptr) {
    return SOLVO_REJECT(kRefineSignature, " input_plane_model is nullptr.");
  }
  if (output_plane_model == nullptr) {
    return SOLVO_REJECT(kRefineSignature, " output_plane_model is nullptr.");
  }
  return RefineCheckedPlaneModel(*point_cloud, input_plane_model, distance_threshold,
                                 output_plane_model, nullptr);
}

SolvoErrorType SolvoInternalSupport_fitPlaneToPointCloudRANSAC(
    const SolvoXYZij* point_cloud, int max_iterations, double distance_threshold,
    double sufficient_inlier_ratio, double minimum_inlier_ratio, double* plane_model) {
  const solvo_support_api::ExportedCall call;
  const SolvoErrorType cloud_status =
      solvo_support_api::CheckPointCloud(point_cloud, kRansacSignature);
  if (cloud_status != SOLVO_STATUS_OK) return cloud_status;
  if (plane_model == nullptr) return SOLVO_REJECT(kRansacSignature, " plane_model is nullptr.");
  // The fit itself treats these as broken invariants and would end the process; written so
  // that NaN fails too.
  if (!(0.0 <= minimum_inlier_ratio)) {
    return SOLVO_REJECT(kRansacSignature, " requires 0.0 <= minimum_inlier_ratio.");
  }
  if (!(minimum_inlier_ratio <= sufficient_inlier_ratio)) {
    return SOLVO_REJECT(kRansacSignature,
                        " requires minimum_inlier_ratio <= sufficient_inlier_ratio.");
  }
  if (!(sufficient_inlier_ratio <= 1.0)) {
    return SOLVO_REJECT(kRansacSignature, " requires sufficient_inlier_ratio <= 1.0.");
  }
  SolvoHalPointCloud hal_cloud;
  solvo_support_api::SolvoHalPointCloudFromSolvoXYZ(*point_cloud, &hal_cloud);
  const auto cloud = engine_data::PointCloud::WrapSolvoHal(&hal_cloud);

  PlaneModel fitted;
  const bool found =
      depth_toolbox::FitPlaneModelRansac(*cloud, max_iterations, distance_threshold,
                                         sufficient_inlier_ratio, minimum_inlier_ratio, &fitted);
  // Written either way: a failed run leaves the default plane (0, 0, 1, 0).
  WritePlane(fitted, plane_model);
  return found ? SOLVO_STATUS_OK : SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_fitPlaneModelNearClickMatrixTransform(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* intrinsics,
    const double* color_camera_T_point_cloud_pointer, const float* uv_coordinates,
    double* intersection_point, double* plane_equation) {
  const solvo_support_api::ExportedCall call;
  const SolvoErrorType cloud_status =
      solvo_support_api::CheckPointCloud(point_cloud, kNearClickMatrixSignature);
  if (cloud_status != SOLVO_STATUS_OK) return cloud_status;
  if (intersection_point == nullptr) {
    return SOLVO_REJECT(kNearClickMatrixSignature, " intersection_point is nullptr.");
  }
  if (intrinsics == nullptr) {
    return SOLVO_REJECT(kNearClickMatrixSignature, " intrinsics is nullptr.");
  }
  if (color_camera_T_point_cloud_pointer == nullptr) {
    return SOLVO_REJECT(kNearClickMatrixSignature,
                        " color_camera_T_point_cloud_pointer is nullptr.");
  }
  if (plane_equation == nullptr) {
    return SOLVO_REJECT(kNearClickMatrixSignature, " plane_equation is nullptr.");
  }
  if (uv_coordinates == nullptr) {
    return SOLVO_REJECT(kNearClickMatrixSignature, " uv_coordinates is nullptr.");
  }

  depth_toolbox::TouchProjection projection;
  projection.color_camera_T_point_cloud = glm::make_mat4(color_camera_T_point_cloud_pointer);
  projection.fx = intrinsics->fx;
  projection.fy = intrinsics->fy;
  projection.cx = intrinsics->cx;
  projection.cy = intrinsics->cy;
  projection.touched_x = static_cast<float>(intrinsics->width) * uv_coordinates[0];
  projection.touched_y = static_cast<float>(intrinsics->height) * uv_coordinates[1];
  // The projection and the refinement both go over the whole cloud by blocks.
  const depth_toolbox::PointBlockBounds bounds(&point_cloud->xyz[0][0], point_cloud->point_count);
  std::vector<float> near_points =
      depth_toolbox::GatherNearPoints(&point_cloud->xyz[0][0], bounds, projection);
  const size_t near_count = near_points.size() / 3;
  if (near_count < kFewestNearPoints) {
    SOLVO_LOG_SIGNATURE_ERROR(kNearClickMatrixSignature,
                              " insufficient depth points near click location.");
    return SOLVO_STATUS_FAILED;
  }

  SolvoXYZij near_cloud{};
  near_cloud.timestamp = point_cloud->timestamp;
  near_cloud.point_count = static_cast<uint32_t>(near_count);
  near_cloud.xyz = reinterpret_cast<float(*)[3]>(near_points.data());
  double ransac_plane[4] = {0.0, 0.0, 0.0, 0.0};
  const SolvoErrorType ransac_status = SolvoInternalSupport_fitPlaneToPointCloudRANSAC(
      &near_cloud, kRansacIterations, kRansacDistanceThreshold, kRansacSufficientInlierRatio,
      kRansacMinimumInlierRatio, ransac_plane);
  if (ransac_status != SOLVO_STATUS_OK) return ransac_status;
  // Points of the same plane far from the touch shape the final plane too.
  double plane[4] = {0.0, 0.0, 0.0, 0.0};
  // The refinement's own checks hold here: the cloud passed the same check, and both planes are
  // local arrays.
  const SolvoErrorType refine_status =
      RefineCheckedPlaneModel(*point_cloud, ransac_plane, kRefineDistanceThreshold, plane, &bounds);
  if (refine_status != SOLVO_STATUS_OK) return refine_status;

  geometry_toolbox::NormalisePlane(plane);
  const geometry_toolbox::Ray ray = geometry_toolbox::TouchRay(
      projection.color_camera_T_point_cloud, projection.touched_x, projection.touched_y,
      intrinsics->fx, intrinsics->fy, intrinsics->cx, intrinsics->cy);
  glm::dvec3 intersection;
  if (!geometry_toolbox::IntersectFacingPlane(ray, plane, &intersection)) {
    LOG_ERROR() << "Plane and camera ray are parallel unable to find intersection.";
    return SOLVO_STATUS_FAILED;
  }
  intersection_point[0] = intersection.x;
  intersection_point[1] = intersection.y;
  intersection_point[2] = intersection.z;
  std::copy(plane, plane + 4, plane_equation);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_fitPlaneModelNearClick(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* intrinsics,
    const SolvoPoseData* color_camera_t1_T_depth_camera_t0, const float* uv_coordinates,
    double* intersection_point, double* plane_equation) {
  const solvo_support_api::ExportedCall call;
  if (color_camera_t1_T_depth_camera_t0 == nullptr) {
    return SOLVO_REJECT(kNearClickSignature, " color_camera_t1_T_depth_camera_t0 is nullptr.");
  }
  const glm::dmat4 color_camera_T_point_cloud =
      solvo_support_api::TransformFromPoseData(*color_camera_t1_T_depth_camera_t0);
  return SolvoSupport_fitPlaneModelNearClickMatrixTransform(
      point_cloud, intrinsics, glm::value_ptr(color_camera_T_point_cloud), uv_coordinates,
      intersection_point, plane_equation);
}

}  // extern "C"
