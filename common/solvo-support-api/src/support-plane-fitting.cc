// Exported plane fits: refinement, RANSAC, and the plane under a touched pixel.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <glm/geometric.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <vector>

#include "argument-check.h"
#include "depth-toolbox/plane-fitting.h"
#include "depth-toolbox/point-block-bounds.h"
#include "engine-data/pointcloud.h"
#include "geometry-toolbox/plane-model.h"
#include "logging/log-statement.h"
#include "point-groups.h"
#include "pose-transform.h"
#include "support-depth-toolbox.h"

namespace {

using geometry_toolbox::PlaneModel;

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

// The plane under a touch: the search radius in pixels, and RANSAC's and the refinement's
// parameters.
constexpr float kNearRadiusPixels = 100.0f;
constexpr uint32_t kFewestNearPoints = 3;
constexpr int kRansacIterations = 50;
constexpr double kRansacDistanceThreshold = 0.01;
constexpr double kRansacSufficientInlierRatio = 0.8;
constexpr double kRansacMinimumInlierRatio = 0.3;
constexpr double kRefineDistanceThreshold = 0.01;
constexpr double kSmallestNormalisedLength = 1e-6;
constexpr double kParallelCosine = 1e-6;

// Relative allowance for rounding in the tests that rule out whole blocks of points.
constexpr double kIntervalMargin = 1.0 / (1 << 20);

void WritePlane(const PlaneModel& plane_model, double* plane) {
  plane[0] = plane_model.a();
  plane[1] = plane_model.b();
  plane[2] = plane_model.c();
  plane[3] = plane_model.d();
}

using solvo_support_api::Projection;

// near[j] = 1 when point j of `xyz` projects strictly within kNearRadiusPixels of the touch.
// The pixel is computed in double and rounded to float, the distance in float: the rounding
// decides points at the rim. sqrt(s) < 100 holds exactly when s < 10000 (the square root is
// correctly rounded and increasing), which spares a square root per point; NaN is never near.
// Every implementation below goes through the same operations in the same order, lane by lane,
// and the file is compiled without fused multiply-adds.
inline int32_t NearOne(const float* p, const Projection& projection) {
  const glm::dmat4& m = projection.color_camera_T_point_cloud;
  const double x = p[0];
  const double y = p[1];
  const double z = p[2];
  // The matrix-vector product in GLM's order: (c0 x + c1 y) + (c2 z + c3 * 1).
  const double q_x = (m[0][0] * x + m[1][0] * y) + (m[2][0] * z + m[3][0]);
  const double q_y = (m[0][1] * x + m[1][1] * y) + (m[2][1] * z + m[3][1]);
  const double q_z = (m[0][2] * x + m[1][2] * y) + (m[2][2] * z + m[3][2]);
  const float x_p = static_cast<float>(projection.cx + projection.fx * (q_x / q_z));
  const float y_p = static_cast<float>(projection.cy + projection.fy * (q_y / q_z));
  const float dy = y_p - projection.touched_y;
  const float dx = x_p - projection.touched_x;
  return dy * dy + dx * dx < kNearRadiusPixels * kNearRadiusPixels ? 1 : 0;
}

void MarkNearOneByOne(const float* xyz, int n, const Projection& projection, int32_t* near) {
  for (int j = 0; j < n; ++j) near[j] = NearOne(xyz + 3 * j, projection);
}

#if defined(__GNUC__) || defined(__clang__)
#define SOLVO_NEAR_POINT_LANES 1

template <int kLanes>
struct NearLanes {
  typedef double Doubles __attribute__((vector_size(8 * kLanes)));
  typedef float Floats __attribute__((vector_size(4 * kLanes)));
  typedef int32_t Ints __attribute__((vector_size(4 * kLanes)));
};

// kLanes consecutive points, one vector per coordinate, widened exactly to double.
template <int kLanes>
struct NearPointLoad {
  static inline __attribute__((always_inline)) void Load(const float* p,
                                                         typename NearLanes<kLanes>::Doubles* x,
                                                         typename NearLanes<kLanes>::Doubles* y,
                                                         typename NearLanes<kLanes>::Doubles* z) {
    for (int lane = 0; lane < kLanes; ++lane) {
      (*x)[lane] = p[3 * lane];
      (*y)[lane] = p[3 * lane + 1];
      (*z)[lane] = p[3 * lane + 2];
    }
  }
};

#if defined(__x86_64__) && !defined(__clang__)
namespace point_groups = solvo_support_api::point_groups;

// Four points are three loads, eight points two.
template <>
struct NearPointLoad<4> {
  using Doubles = NearLanes<4>::Doubles;
  static inline __attribute__((always_inline)) void Load(const float* p, Doubles* x, Doubles* y,
                                                         Doubles* z) {
    point_groups::Floats4 x4, y4, z4;
    point_groups::SplitFourPoints(p, &x4, &y4, &z4);
    *x = __builtin_convertvector(x4, Doubles);
    *y = __builtin_convertvector(y4, Doubles);
    *z = __builtin_convertvector(z4, Doubles);
  }
};

template <>
struct NearPointLoad<8> {
  using Doubles = NearLanes<8>::Doubles;
  static inline __attribute__((always_inline)) void Load(const float* p, Doubles* x, Doubles* y,
                                                         Doubles* z) {
    point_groups::Floats8 x8, y8, z8;
    point_groups::SplitEightPoints(p, &x8, &y8, &z8);
    *x = __builtin_convertvector(x8, Doubles);
    *y = __builtin_convertvector(y8, Doubles);
    *z = __builtin_convertvector(z8, Doubles);
  }
};
#endif

// NearOne for kLanes points at a time.
template <int kLanes>
inline __attribute__((always_inline)) void MarkNearInLanes(const float* __restrict xyz, int n,
                                                           const Projection& projection,
                                                           int32_t* __restrict near) {
  using Doubles = typename NearLanes<kLanes>::Doubles;
  using Floats = typename NearLanes<kLanes>::Floats;
  using Ints = typename NearLanes<kLanes>::Ints;
  const glm::dmat4& m = projection.color_camera_T_point_cloud;
  const double m00 = m[0][0], m01 = m[1][0], m02 = m[2][0], m03 = m[3][0];
  const double m10 = m[0][1], m11 = m[1][1], m12 = m[2][1], m13 = m[3][1];
  const double m20 = m[0][2], m21 = m[1][2], m22 = m[2][2], m23 = m[3][2];
  const double fx = projection.fx, fy = projection.fy, cx = projection.cx, cy = projection.cy;
  const float touched_x = projection.touched_x;
  const float touched_y = projection.touched_y;
  constexpr float kRadiusSquared = kNearRadiusPixels * kNearRadiusPixels;
  int j = 0;
  for (; j + kLanes <= n; j += kLanes) {
    Doubles x, y, z;
    NearPointLoad<kLanes>::Load(xyz + 3 * j, &x, &y, &z);
    const Doubles q_x = (m00 * x + m01 * y) + (m02 * z + m03);
    const Doubles q_y = (m10 * x + m11 * y) + (m12 * z + m13);
    const Doubles q_z = (m20 * x + m21 * y) + (m22 * z + m23);
    const Doubles u = cx + fx * (q_x / q_z);
    const Doubles v = cy + fy * (q_y / q_z);
    const Floats dy = __builtin_convertvector(v, Floats) - touched_y;
    const Floats dx = __builtin_convertvector(u, Floats) - touched_x;
    const Ints passes = -(dy * dy + dx * dx < kRadiusSquared);
    std::memcpy(near + j, &passes, sizeof passes);
  }
  for (; j < n; ++j) near[j] = NearOne(xyz + 3 * j, projection);
}

void MarkNearTwoLanes(const float* xyz, int n, const Projection& projection, int32_t* near) {
  MarkNearInLanes<2>(xyz, n, projection, near);
}
#endif

#if defined(SOLVO_NEAR_POINT_LANES) && defined(__x86_64__) && !defined(__clang__)
// The divisions dominate: the widest registers the CPU has divide the most points at once.
__attribute__((target("avx512f"))) void MarkNearAvx512(const float* xyz, int n,
                                                       const Projection& projection,
                                                       int32_t* near) {
  MarkNearInLanes<8>(xyz, n, projection, near);
}

__attribute__((target("avx2"))) void MarkNearAvx2(const float* xyz, int n,
                                                  const Projection& projection, int32_t* near) {
  MarkNearInLanes<4>(xyz, n, projection, near);
}
#define SOLVO_NEAR_POINT_WIDE_LANES 1
#endif

// Chosen once at load, before any exported function can run.
const solvo_support_api::NearPointMarker kFastestNearPointMarker =
    solvo_support_api::NearPointMarkers().front().mark;

// The interval that m_r0 x + m_r1 y + m_r2 z + m_r3 (row r of the transform) takes over a block's
// box, widened by 2^-20 of its magnitude: more than the rounding of the box to float and of the
// point-by-point computation in double.
struct Interval {
  double lo;
  double hi;
};

Interval RowOverBox(const glm::dmat4& m, int row, const double* centre, const double* half) {
  double middle =
      (m[0][row] * centre[0] + m[1][row] * centre[1]) + (m[2][row] * centre[2] + m[3][row]);
  double spread = 0.0;
  double magnitude = std::fabs(m[3][row]);
  for (int axis = 0; axis < 3; ++axis) {
    spread += std::fabs(m[axis][row]) * half[axis];
    magnitude += std::fabs(m[axis][row]) * (std::fabs(centre[axis]) + half[axis]);
  }
  const double margin = magnitude * kIntervalMargin;
  return {middle - spread - margin, middle + spread + margin};
}

// Whether no point of the box can project within the radius of the touch along one image axis:
// the pixel coordinate focal * (numerator / depth) + principal of every point of the box lies
// more than the radius from `touched`. The interval of the pixel coordinate is widened by one
// pixel and by 2^-20 of its magnitude, more than the rounding of the point-by-point computation
// in double and of its conversion to float; a pixel more than the radius away in float leaves
// the squared distance at least the squared radius. Any NaN answers false.
bool FarAlongAxis(const Interval& numerator, const Interval& depth, double focal, double principal,
                  float touched) {
  const double ratio_lo = std::min(numerator.lo / depth.lo, numerator.lo / depth.hi);
  const double ratio_hi = std::max(numerator.hi / depth.lo, numerator.hi / depth.hi);
  double pixel_lo = principal + focal * (focal >= 0.0 ? ratio_lo : ratio_hi);
  double pixel_hi = principal + focal * (focal >= 0.0 ? ratio_hi : ratio_lo);
  const double largest_ratio = std::max(std::fabs(ratio_lo), std::fabs(ratio_hi));
  const double slack =
      1.0 + kIntervalMargin * (std::fabs(principal) + std::fabs(focal) * largest_ratio);
  pixel_lo -= slack;
  pixel_hi += slack;
  const double radius = kNearRadiusPixels;
  return pixel_lo > static_cast<double>(touched) + radius ||
         pixel_hi < static_cast<double>(touched) - radius;
}

// Whether no point of `block` can be near the touch. Only boxes wholly in front of the camera
// are decided; the rest go point by point.
bool BlockIsFar(const depth_toolbox::PointBlockBounds& bounds, Eigen::Index block,
                const Projection& projection) {
  if (bounds.finite()[block] == 0) return false;
  const double centre[3] = {bounds.centre(0)[block], bounds.centre(1)[block],
                            bounds.centre(2)[block]};
  const double half[3] = {bounds.half_extent(0)[block], bounds.half_extent(1)[block],
                          bounds.half_extent(2)[block]};
  const glm::dmat4& m = projection.color_camera_T_point_cloud;
  const Interval depth = RowOverBox(m, 2, centre, half);
  if (!(depth.lo > 0.0)) return false;
  return FarAlongAxis(RowOverBox(m, 0, centre, half), depth, projection.fx, projection.cx,
                      projection.touched_x) ||
         FarAlongAxis(RowOverBox(m, 1, centre, half), depth, projection.fy, projection.cy,
                      projection.touched_y);
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

// Most of a depth frame lies far from the touch: whole blocks are ruled out by their boxes first.
std::vector<NearPointMarking> NearPointMarkers() {
  std::vector<NearPointMarking> markers;
#ifdef SOLVO_NEAR_POINT_WIDE_LANES
  __builtin_cpu_init();  // may run from a load-time initializer, before the runtime's own
  if (__builtin_cpu_supports("avx512f")) markers.push_back({"avx512f", MarkNearAvx512});
  if (__builtin_cpu_supports("avx2")) markers.push_back({"avx2", MarkNearAvx2});
#endif
#ifdef SOLVO_NEAR_POINT_LANES
  markers.push_back({"two lanes", MarkNearTwoLanes});
#endif
  markers.push_back({"one by one", MarkNearOneByOne});
  return markers;
}

std::vector<float> GatherNearPoints(const SolvoXYZij& point_cloud,
                                    const depth_toolbox::PointBlockBounds& bounds,
                                    const Projection& projection, NearPointMarker mark) {
  if (mark == nullptr) mark = kFastestNearPointMarker;
  const float* xyz = &point_cloud.xyz[0][0];
  // Room for the whole cloud up front: growing would copy, and only the pages written are used.
  std::vector<float> near_points;
  near_points.reserve(3 * static_cast<size_t>(point_cloud.point_count));
  int32_t near[depth_toolbox::PointBlockBounds::kPointsPerBlock];
  for (Eigen::Index block = 0; block < bounds.NBlocks(); ++block) {
    if (BlockIsFar(bounds, block, projection)) continue;
    const Eigen::Index begin = bounds.BlockBegin(block);
    const int length = static_cast<int>(bounds.BlockEnd(block) - begin);
    const float* points = xyz + 3 * begin;
    mark(points, length, projection, near);
    // Near points come in runs along an image row: one copy per run. Marks are 0 or 1, so eight
    // of them sum to 0 or 8 exactly when all are far or all near.
    constexpr int kGroup = 8;
    const auto group_sum = [&near](int first) {
      int sum = 0;
      for (int k = 0; k < kGroup; ++k) sum += near[first + k];
      return sum;
    };
    for (int j = 0; j < length;) {
      if (near[j] == 0) {
        while (j + kGroup <= length && group_sum(j) == 0) j += kGroup;
        while (j < length && near[j] == 0) ++j;
        continue;
      }
      int end = j + 1;
      while (end + kGroup <= length && group_sum(end) == kGroup) end += kGroup;
      while (end < length && near[end] != 0) ++end;
      near_points.insert(near_points.end(), points + 3 * j, points + 3 * end);
      j = end;
    }
  }
  return near_points;
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

SolvoErrorType SolvoInternalSupport_refinePlaneModel(const SolvoXYZij* point_cloud,
                                                     const double* input_plane_model,
                                                     double distance_threshold,
                                                     double* output_plane_model) {
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

  Projection projection;
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
      solvo_support_api::GatherNearPoints(*point_cloud, bounds, projection);
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

  // The point cloud's origin on the normal's side, then unit length.
  if (plane[3] < 0.0) {
    for (double& coefficient : plane) coefficient = -coefficient;
  }
  const double length = std::sqrt(plane[1] * plane[1] + plane[0] * plane[0] + plane[2] * plane[2]);
  if (length > kSmallestNormalisedLength) {
    for (double& coefficient : plane) coefficient /= length;
  }

  // The touch ray, from the colour camera's centre through the touched pixel, in the point
  // cloud's frame.
  const float x_n = (projection.touched_x - static_cast<float>(intrinsics->cx)) /
                    static_cast<float>(intrinsics->fx);
  const float y_n = (projection.touched_y - static_cast<float>(intrinsics->cy)) /
                    static_cast<float>(intrinsics->fy);
  const double x_nd = static_cast<double>(x_n);
  const double y_nd = static_cast<double>(y_n);
  const double scale = 1.0 / std::sqrt(x_nd * x_nd + y_nd * y_nd + 1.0);
  const glm::dmat4 point_cloud_T_color_camera = glm::inverse(projection.color_camera_T_point_cloud);
  const glm::dvec4 camera_centre = point_cloud_T_color_camera * glm::dvec4(0.0, 0.0, 0.0, 1.0);
  const glm::dvec4 ray_point =
      point_cloud_T_color_camera * glm::dvec4(x_nd * scale, y_nd * scale, scale, 1.0);
  const glm::dvec3 origin(camera_centre);
  const glm::dvec3 towards_ray_point = glm::dvec3(ray_point) - origin;
  const glm::dvec3 direction = towards_ray_point / glm::length(towards_ray_point);

  double cosine = plane[1] * direction.y + plane[0] * direction.x + plane[2] * direction.z;
  // The normal faces against the ray, towards the camera.
  if (cosine > 0.0) {
    for (double& coefficient : plane) coefficient = -coefficient;
    cosine = -cosine;
  }
  // Written so that a NaN cosine (a transform without an inverse) fails here too instead of
  // reporting NaN as a result.
  if (!(std::fabs(cosine) >= kParallelCosine)) {
    LOG_ERROR() << "Plane and camera ray are parallel unable to find intersection.";
    return SOLVO_STATUS_FAILED;
  }
  const glm::dvec3 normal(plane[0], plane[1], plane[2]);
  const double t = glm::dot(-plane[3] * normal - origin, normal) / glm::dot(direction, normal);
  const glm::dvec3 intersection = origin + t * direction;
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
