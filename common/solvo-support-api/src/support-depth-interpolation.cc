// Exported depth lookups: the depth point projected nearest to an image position lifts it to 3D.
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat4x4.hpp>

#include "argument-check.h"
#include "depth-toolbox/nearest-projection.h"
#include "exported-call.h"
#include "pose-transform.h"
#include "solvo_support_api.h"

namespace {

constexpr char kMatrixSignature[] =
    "SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(const SolvoXYZij*, "
    "const SolvoCameraIntrinsics*, const double*, const float*, float*, int*)";
constexpr char kPoseSignature[] =
    "SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighbor(const SolvoXYZij*, "
    "const SolvoCameraIntrinsics*, const SolvoPoseData*, const float*, float*, int*)";

SolvoErrorType GetDepthAtPoint(const SolvoXYZij* point_cloud,
                               const SolvoCameraIntrinsics* camera_intrinsics,
                               const double* color_camera_T_point_cloud,
                               const float* uv_coordinates, float* point_out, int* valid_out) {
  if (point_cloud == nullptr) return SOLVO_REJECT(kMatrixSignature, " point_cloud is nullptr.");
  if (point_cloud->xyz == nullptr) {
    return SOLVO_REJECT(kMatrixSignature, " point_cloud->xyz is nullptr.");
  }
  if (camera_intrinsics == nullptr) {
    return SOLVO_REJECT(kMatrixSignature, " camera_intrinsics is nullptr.");
  }
  if (point_cloud->point_count == 0) {
    return SOLVO_REJECT(kMatrixSignature, " point cloud contains less than one point.");
  }
  if (camera_intrinsics->fx <= 0.0 || camera_intrinsics->fy <= 0.0) {
    return SOLVO_REJECT(kMatrixSignature, " camera intrinsics are invalid.");
  }
  // Dereferencing any of these would end the application's process: refuse them like the rest.
  if (color_camera_T_point_cloud == nullptr) {
    return SOLVO_REJECT(kMatrixSignature, " color_camera_T_point_cloud is nullptr.");
  }
  if (uv_coordinates == nullptr) {
    return SOLVO_REJECT(kMatrixSignature, " uv_coordinates is nullptr.");
  }
  if (point_out == nullptr) return SOLVO_REJECT(kMatrixSignature, " point_out is nullptr.");

  depth_toolbox::ProjectionQuery query;
  for (int k = 0; k < 16; ++k) {
    query.color_camera_T_point_cloud[k] = color_camera_T_point_cloud[k];
  }
  query.fx = camera_intrinsics->fx;
  query.fy = camera_intrinsics->fy;
  query.cx = camera_intrinsics->cx;
  query.cy = camera_intrinsics->cy;
  query.u = static_cast<double>(uv_coordinates[0]) * camera_intrinsics->width;
  query.v = static_cast<double>(uv_coordinates[1]) * camera_intrinsics->height;

  float point[3] = {0.0f, 0.0f, 0.0f};
  const bool found =
      depth_toolbox::PointUnderPixel(query, point_cloud->xyz, point_cloud->point_count, point);
  point_out[0] = point[0];
  point_out[1] = point[1];
  point_out[2] = point[2];
  if (valid_out != nullptr) *valid_out = found ? 1 : 0;
  return SOLVO_STATUS_OK;
}

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* camera_intrinsics,
    const double* color_camera_T_point_cloud, const float* uv_coordinates, float* point_out,
    int* valid_out) {
  const solvo_support_api::ExportedCall call;
  return GetDepthAtPoint(point_cloud, camera_intrinsics, color_camera_T_point_cloud, uv_coordinates,
                         point_out, valid_out);
}

SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighbor(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* camera_intrinsics,
    const SolvoPoseData* color_camera_T_point_cloud, const float* uv_coordinates, float* point_out,
    int* valid_out) {
  const solvo_support_api::ExportedCall call;
  if (color_camera_T_point_cloud == nullptr) {
    return SOLVO_REJECT(kPoseSignature, " color_camera_T_point_cloud is nullptr.");
  }
  const glm::dmat4 transform =
      solvo_support_api::TransformFromPoseData(*color_camera_T_point_cloud);
  return GetDepthAtPoint(point_cloud, camera_intrinsics, glm::value_ptr(transform), uv_coordinates,
                         point_out, valid_out);
}

}  // extern "C"
