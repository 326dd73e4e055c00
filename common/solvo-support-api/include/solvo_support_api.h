/* Geometry support for applications of the depth-sensing, motion-tracking service: the depth under
 * a pixel, the plane under a touch, camera poses in other axes, relative poses between sensors,
 * hand-over of the newest image and point cloud between two threads, and mesh simplification.
 *
 * ---- Statuses and refusals
 * Every function of the service's interface returns a SolvoErrorType: SOLVO_STATUS_OK (0) when
 * it did its work (a lookup that finds nothing says so through an out-parameter),
 * SOLVO_STATUS_FAILED (-1) when the arguments were acceptable but the work found no answer, and
 * SOLVO_STATUS_BAD_ARGUMENT (-2) when an argument check failed. A refused call writes one error
 * line (see Log lines) naming the function and the argument, and nothing else; the checks run in
 * the order each function lists, and only the first failure is reported. The point cloud manager
 * family is the exception: it refuses by status alone, without a line (each of its functions
 * says where it does write one). No function throws; records passed in belong to the caller.
 * SolvoSupport_getStatusString describes a status, and SolvoSupport_getLastErrorText gives the
 * text of the calling thread's last error line, for an exception or a message of your own.
 *
 * ---- When memory runs out
 * Nothing a function is given ends the process. SOLVO_STATUS_FAILED also means that the library
 * could not have the memory the call needed (an array of the size the caller asked for, a
 * manager's buffers, the temporary cloud of a touch, the half-edge mesh of a simplification), or
 * could not lock a manager's mutex. The call then writes one error line, the function's
 * signature text followed by " could not allocate memory." (none for the point cloud manager's
 * functions, which write no lines for their refusals, and none for a mutex), writes no handle,
 * and leaves the caller's records as they were; a record the function empties before allocating
 * (SolvoSupport_createXYZij, SolvoSupport_createMesh, SolvoSupport_copyMesh, the output of a
 * simplification) stays empty, so that its free function is harmless. A count whose byte size
 * cannot exist on the platform (beyond size_t on 32-bit targets) is a bad argument instead. Even
 * a refusal may end so when the memory for its line runs out, and a line whose text cannot be
 * had is left out; the logging itself never ends a call: when its thread cannot start, or a lock
 * fails, lines are written on the calling thread.
 *
 * ---- Kept as the service's interface has them
 * A NaN focal length passes the depth lookup's intrinsics check (fx > 0 and fy > 0 are its only
 * tests) and finds nothing; the touch checks no focal length at all. An image the image manager
 * refuses inside an update gives SOLVO_STATUS_OK after its line. The point cloud manager refuses
 * its arguments without lines; it writes "No data in callback." for an empty cloud and one line
 * for a cloud above its capacity. Each plane fit seeds its random generator from the clock unless
 * the tuning flags fix the seed. The pose queries' answers are passed on as they come: a
 * relative pose is only as finite as the poses the service answers (the desktop stand-in's
 * simulated device answers no negative or non-finite time).
 *
 * A point cloud, created, used and freed:
 *
 *   SolvoXYZij cloud = {0};
 *   SolvoSupport_createXYZij(640 * 480, &cloud);      // room for 307200 points, none held
 *   ... fill cloud.xyz[i][0..2], set cloud.point_count and cloud.timestamp ...
 *   float uv[2] = {0.5f, 0.5f}, point[3];
 *   int found;
 *   if (SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
 *           &cloud, &intrinsics, color_camera_T_point_cloud, uv, point, &found) != SOLVO_STATUS_OK)
 *     fprintf(stderr, "%s\n", SolvoSupport_getLastErrorText());
 *   SolvoSupport_freeXYZij(&cloud);
 *
 * ---- Log lines
 * Where: every line goes to the Android log (__android_log_print) with the tag "solvo". On a
 * desktop the installed liblog stand-in writes it to standard error as "E/solvo: <text>"; a
 * program that defines __android_log_print itself receives the lines instead. With
 * SolvoSupport_setLogCallback the application receives every line as well.
 * Form: the priority as the Android log numbers it (6 error: refusals and failed work; 5 warning:
 * input the mesh functions repaired; 7 fatal: a broken invariant of the library, which ends the
 * process), and the text "<source file>:<line> <message>\n". The message of a refusal is the
 * function's signature text directly followed by the reason, for example (one line; the source
 * position differs from version to version)
 *   "support-depth-toolbox.cc:152 SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*) point_cloud
 *    is nullptr.\n". A message of 1000 characters or more is written in pieces of 1000
 * characters, each its own line.
 * Thread and latency: a call only queues its lines; the library's own logging thread, started by
 * the first line, writes them, typically some tens of microseconds after the call returned.
 * SolvoSupport_flushLog waits until every earlier line has been written. Lines still queued when
 * the process exits are written before the logging thread ends; lines written after that are
 * written on the thread that wrote them. Fatal lines are written at once, on the calling thread,
 * to standard error and the Android log, and the process ends.
 *
 * ---- Conventions
 * Frames. The service's world (the tracking origin, SOLVO_FRAME_TRACKING_ORIGIN) is right-handed
 * with z up. A camera frame (the sensor frames 7, 8 and 9, and the colour camera the intrinsics
 * describe) is right-handed: x to the right along an image row, y down along an image column,
 * z forward along the optical axis; a point in front of the camera has z > 0.
 * Transforms are 16 doubles in column-major order (row r, column c at index 4 * c + r, the
 * translation at indices 12, 13, 14). a_T_b carries points given in frame b into frame a, and
 * a_T_c = a_T_b * b_T_c. A pose record holds base_T_target: `translation` is the target frame's
 * origin in the base frame, in metres.
 * Quaternions are stored x, y, z, w (w last): a unit quaternion (sin(t/2) * axis, cos(t/2)) is
 * the rotation by angle t about the unit axis, and rotates a point p as q * p * conjugate(q).
 * World conventions of SolvoSupport_getWorldTCameraPose, each y-up:
 *   SOLVO_CONVENTION_RIGHT_HANDED_Y_UP  world (x, y, z) = base (x, z, -y): a quarter turn about
 *       x; the camera keeps its axes. Right-handed: a positive angle turns anticlockwise seen
 *       from the tip of the axis.
 *   SOLVO_CONVENTION_LEFT_HANDED_Y_UP   world (x, y, z) = base (x, z, y), and the camera's z axis
 *       is reversed (x right, y down, z backwards, out of the image towards the viewer). Both
 *       frames are left-handed; world_T_camera is a proper rotation of left-handed axes, and its
 *       quaternion is read with the same formulas applied to left-handed coordinates: a positive
 *       angle turns clockwise seen from the tip of the axis.
 * Pixel coordinates are those the intrinsics define: a camera point (x, y, z) projects to
 * (fx * x / z + cx, fy * y / z + cy), without lens distortion. An image position (u, v) is given
 * as fractions of the image's width and height and stands for the pixel coordinates
 * (u * width, v * height), with no half-pixel offset: (0, 0) is where the calibration puts
 * coordinate 0, and (1, 1) is (width, height). So the centre of the pixel in column i, row j is
 * (i / width, j / height) when the calibration puts pixel centres at whole coordinates (cx near
 * (width - 1) / 2), and ((i + 0.5) / width, (j + 0.5) / height) when it puts them at halves.
 *
 * ---- Tuning flags
 * Seven process-wide values, read by the functions that use them each time they run. Set them
 * with SolvoSupport_setTuningFlag at start-up: setting a flag while another thread runs the
 * library is a race the caller must avoid. Values are parsed by the flags library: booleans as
 * true/false, 1/0, yes/no, t/f or y/n in any letter case; integers in decimal, or in hexadecimal
 * after "0x"; numbers as C's strtod reads them, whole (leading blanks allowed).
 *   random_generator_use_random_seed  bool, true. true: each RANSAC run (the touch's included)
 *       seeds its random generator from the real-time clock, so runs differ; false: from
 *       random_generator_seed, so identical inputs give bit-identical planes.
 *   random_generator_seed             int32, 1. The seed used when the above is false, taken as
 *       an unsigned 32-bit number and reduced modulo 2147483647 (0 and 2147483647 seed 1).
 *   merge_vertices_k_neighbors        int32, 32. Read by nothing; any int32 is accepted.
 *   max_mesh_angle_cos                double, 0.999. The simplifier makes no collapse that leaves
 *       a triangle with a corner whose cosine is above this (sharper than about 2.56 degrees
 *       at the default). Any number but NaN.
 *   mesh_edge_length_weight           double, 0.1. The factor of an edge's length added to its
 *       quadric error in the cost of collapsing it. Any finite number.
 *   mesh_max_angle_normal_weight      double, 1000000. A collapse's shape weight (the largest
 *       corner cosine of the triangles around it) multiplies its cost; a collapse the two
 *       cosine flags forbid gets this weight, and one of this weight or more is never made.
 *       At least 0 (infinity included); NaN is refused.
 *   min_mesh_normal_flip_cos          double, -0.999. The simplifier makes no collapse that
 *       turns a triangle's normal so that the cosine between its old and new normal is below
 *       this (more than about 177.4 degrees at the default). Any number but NaN.
 *
 * ---- Image sizes
 * An image's pixel bytes are packed rows without padding. SOLVO_HAL_PIXEL_FORMAT_RGBA_8888:
 * width * height * 4 bytes. SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP (NV21): a luminance plane of
 * width * height bytes followed by an interleaved chroma plane of height / 2 rows (rounded down)
 * of width bytes, width * (height + height / 2) bytes in all. Any width and height from 0 up are
 * accepted, 0 x 0 and odd sizes included, as long as the image holds at most 2147483647 bytes. */
#ifndef SOLVO_SUPPORT_API_H_
#define SOLVO_SUPPORT_API_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "solvo_client_api.h"
#include "solvo_support_version.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SOLVO_SUPPORT_EXPORT __attribute__((visibility("default")))
#else
#define SOLVO_SUPPORT_EXPORT
#endif

/* World and camera axes for SolvoSupport_getWorldTCameraPose (see Conventions above). */
typedef enum SolvoCoordinateConvention {
  SOLVO_CONVENTION_RIGHT_HANDED_Y_UP = 0,
  SOLVO_CONVENTION_LEFT_HANDED_Y_UP = 1,
} SolvoCoordinateConvention;

/* Opaque handles of the two frame buffer managers. */
typedef struct SolvoSupportImageBufferManager SolvoSupportImageBufferManager;
typedef struct SolvoSupportPointCloudManager SolvoSupportPointCloudManager;

/* ---- Depth at an image point ---------------------------------------------------------------- */

/* The 3D point under the image position `uv_coordinates`, in the colour camera's frame: every
 * depth point is projected into the colour image, the one whose projection lies nearest to
 * (u * width, v * height), if within 10 pixels (exactly 10 included; the earlier point of two at
 * the same distance), gives the depth, and the queried pixel's own ray is lifted to that depth.
 *
 * point_cloud                 (in) at least one point; `xyz` non-NULL.
 * camera_intrinsics           (in) fx > 0 and fy > 0; width, height, cx and cy are used.
 * color_camera_T_point_cloud  (in) 16 doubles, carrying point cloud points into the colour
 *                             camera's frame.
 * uv_coordinates              (in) two floats (u, v): fractions of the width and height.
 * point_out                   (out) three floats: x, y, z in metres, colour camera frame.
 * valid_out                   (out, may be NULL) 1 when a point was found, else 0.
 * Ownership    nothing is kept or allocated.
 * Returns      SOLVO_STATUS_OK            point_out and valid_out written; not found: point_out
 *                                         is (0, 0, 0) and valid_out 0;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: point_cloud NULL,
 *                                         point_cloud->xyz NULL, camera_intrinsics NULL, no
 *                                         points, fx or fy not above 0, the transform NULL,
 *                                         uv_coordinates NULL, point_out NULL; one error line,
 *                                         nothing written.
 * Threads      any thread; the records must not change during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* camera_intrinsics,
    const double* color_camera_T_point_cloud, const float* uv_coordinates, float* point_out,
    int* valid_out);

/* SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform, with the transform given as a pose
 * record (base: colour camera, target: point cloud).
 *
 * color_camera_T_point_cloud  (in) checked first; every other parameter as in the matrix variant.
 * Ownership    nothing is kept or allocated.
 * Returns      as the matrix variant, and SOLVO_STATUS_BAD_ARGUMENT when the pose is NULL, with
 *              this function's name in the line; every later error line names the matrix
 *              variant.
 * Threads      any thread; the records must not change during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighbor(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* camera_intrinsics,
    const SolvoPoseData* color_camera_T_point_cloud, const float* uv_coordinates, float* point_out,
    int* valid_out);

/* ---- Plane under a touched pixel ------------------------------------------------------------ */

/* The plane under the touched image position `uv_coordinates` and the point where the touch ray
 * meets it, both in the point cloud's frame: RANSAC (50 samples, inliers closer than 0.01, done
 * at 80% inliers, accepted at 30%) among the depth points projected strictly within 100 pixels of
 * the touch, refined by least squares against the whole cloud (threshold 0.01), then normalised
 * and turned so that its normal faces the camera. The touched pixel (u * width, v * height) is
 * computed in single precision. The random seed comes from the tuning flags: fix it for
 * repeatable planes.
 *
 * point_cloud                        (in) at least three points; `xyz` non-NULL.
 * intrinsics                         (in) width, height, fx, fy, cx, cy of the colour camera.
 * color_camera_T_point_cloud_pointer (in) 16 doubles, carrying point cloud points into the
 *                                    colour camera's frame.
 * uv_coordinates                     (in) two floats (u, v): fractions of the width and height.
 * intersection_point                 (out) three doubles, x, y, z.
 * plane_equation                     (out) a, b, c, d with a * x + b * y + c * z + d = 0 and a
 *                                    unit normal (a, b, c).
 * Ownership    nothing is kept; the near points are gathered into memory freed before return.
 * Returns      SOLVO_STATUS_OK            both outputs written;
 *              SOLVO_STATUS_FAILED        fewer than three points near the touch (one error
 *                                         line), no plane among them (no line), fewer than three
 *                                         inliers in the whole cloud (one error line) or
 *                                         inliers that span no plane (no line), or the touch ray
 *                                         parallel to the plane (one error line), or no memory
 *                                         for the near points or the fits (" could not allocate
 *                                         memory.", naming this function even when RANSAC or the
 *                                         refinement ran out); outputs untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: point_cloud NULL,
 *                                         fewer than three points, point_cloud->xyz NULL,
 *                                         intersection_point NULL, intrinsics NULL, the
 *                                         transform NULL, plane_equation NULL, uv_coordinates
 *                                         NULL; one error line, outputs untouched.
 * Threads      any thread; the records must not change during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_fitPlaneModelNearClickMatrixTransform(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* intrinsics,
    const double* color_camera_T_point_cloud_pointer, const float* uv_coordinates,
    double* intersection_point, double* plane_equation);

/* SolvoSupport_fitPlaneModelNearClickMatrixTransform, with the transform given as a pose record
 * (base: the colour camera at its time, target: the depth camera at the cloud's time).
 *
 * color_camera_t1_T_depth_camera_t0  (in) checked first; every other parameter as in the matrix
 *                                    variant.
 * Ownership    as the matrix variant.
 * Returns      as the matrix variant, and SOLVO_STATUS_BAD_ARGUMENT when the pose is NULL, with
 *              this function's name in the line; every later error line names the matrix
 *              variant.
 * Threads      any thread; the records must not change during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_fitPlaneModelNearClick(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* intrinsics,
    const SolvoPoseData* color_camera_t1_T_depth_camera_t0, const float* uv_coordinates,
    double* intersection_point, double* plane_equation);

/* A plane through the cloud by RANSAC: up to `max_iterations` three-point samples, inliers closer
 * than `distance_threshold`, stopping early once a sample reaches `sufficient_inlier_ratio` of
 * the points, accepted when the best reaches `minimum_inlier_ratio`, and refitted by least
 * squares to its inliers. The random seed comes from the tuning flags.
 *
 * point_cloud              (in) at least three points; `xyz` non-NULL.
 * max_iterations           (in) samples to draw at most; 0 or less draws none (no plane).
 * distance_threshold       (in) in the cloud's units.
 * sufficient_inlier_ratio  (in) at most 1.
 * minimum_inlier_ratio     (in) at least 0 and at most sufficient_inlier_ratio.
 * plane_model              (out) a, b, c, d; three inliers give an unnormalised normal.
 * Ownership    nothing is kept or allocated across the call.
 * Returns      SOLVO_STATUS_OK            plane_model written;
 *              SOLVO_STATUS_FAILED        no plane; plane_model is (0, 0, 1, 0); no line; or no
 *                                         memory for the fit (" could not allocate memory."),
 *                                         plane_model untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: point_cloud NULL,
 *                                         fewer than three points, point_cloud->xyz NULL,
 *                                         plane_model NULL, minimum below 0, minimum above
 *                                         sufficient, sufficient above 1 (NaN fails each); one
 *                                         error line, plane_model untouched.
 * Threads      any thread; the record must not change during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoInternalSupport_fitPlaneToPointCloudRANSAC(
    const SolvoXYZij* point_cloud, int max_iterations, double distance_threshold,
    double sufficient_inlier_ratio, double minimum_inlier_ratio, double* plane_model);

/* Least-squares refit of `input_plane_model` to the cloud's points closer than
 * `distance_threshold` to it.
 *
 * point_cloud         (in) at least three points; `xyz` non-NULL.
 * input_plane_model   (in) a, b, c, d; may be the same array as output_plane_model.
 * distance_threshold  (in) in the cloud's units.
 * output_plane_model  (out) a, b, c, d.
 * Ownership    nothing is kept or allocated across the call.
 * Returns      SOLVO_STATUS_OK            output written;
 *              SOLVO_STATUS_FAILED        fewer than three inliers (one error line), inliers
 *                                         that span no plane (no line), or no memory for the
 *                                         fit (" could not allocate memory."); output untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: point_cloud NULL,
 *                                         fewer than three points, point_cloud->xyz NULL,
 *                                         input_plane_model NULL, output_plane_model NULL; one
 *                                         error line, output untouched.
 * Threads      any thread; the record must not change during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoInternalSupport_refinePlaneModel(
    const SolvoXYZij* point_cloud, const double* input_plane_model, double distance_threshold,
    double* output_plane_model);

/* ---- Point cloud records -------------------------------------------------------------------- */

/* Gives `point_cloud` room for `max_point_count` points; its point_count and timestamp are 0.
 *
 * max_point_count  (in) points the array holds; 0 gives an array of no points.
 * point_cloud      (in/out) the caller's record; its previous array is not released, and the
 *                  service's word at offset 0 is left alone.
 * Ownership    the xyz array (not cleared) belongs to the record until
 *              SolvoSupport_freeXYZij(point_cloud).
 * Returns      SOLVO_STATUS_OK            the array is allocated;
 *              SOLVO_STATUS_FAILED        no memory for the array (" could not allocate
 *                                         memory."): the record is cleared (xyz NULL, count and
 *                                         time 0), so freeing it is harmless;
 *              SOLVO_STATUS_BAD_ARGUMENT  point_cloud NULL, then an array whose byte size does
 *                                         not fit in size_t; one error line, nothing written.
 * Threads      any thread; the record must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createXYZij(uint32_t max_point_count,
                                                             SolvoXYZij* point_cloud);

/* Releases the xyz array (if any) and clears xyz, point_count, timestamp and tail_words.
 *
 * point_cloud  (in/out) a record filled by SolvoSupport_createXYZij, or an empty one; freeing
 *              twice is harmless.
 * Ownership    the array is released; the record stays the caller's.
 * Returns      SOLVO_STATUS_OK            released and cleared;
 *              SOLVO_STATUS_BAD_ARGUMENT  point_cloud NULL; one error line.
 * Threads      any thread; the record must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij* point_cloud);

/* Copies point_count points, point_count and timestamp into the output's existing xyz array;
 * nothing is allocated, and tail_words and the service's word are not copied.
 *
 * input_point_cloud   (in) `point_count` points at `xyz`.
 * output_point_cloud  (in/out) its xyz array must have room for the input's points (the record
 *                     carries no capacity, so a smaller array cannot be told apart); it may be
 *                     the input record itself.
 * Ownership    nothing changes hands.
 * Returns      SOLVO_STATUS_OK            copied;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: input_point_cloud
 *                                         NULL, output_point_cloud NULL, the input's xyz NULL
 *                                         while point_count > 0 (" input_point_cloud->xyz is
 *                                         nullptr."), the output's xyz NULL while the input
 *                                         holds points (" output_point_cloud->xyz is
 *                                         nullptr."); one error line, nothing written.
 * Threads      any thread; the records must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij* input_point_cloud,
                                                           SolvoXYZij* output_point_cloud);

/* ---- Poses ---------------------------------------------------------------------------------- */

/* Re-expresses `pose` (base_T_camera, base the service's z-up world) as world_T_camera in the
 * world and camera axes of `convention` (see Conventions above).
 *
 * convention   (in) SOLVO_CONVENTION_RIGHT_HANDED_Y_UP or SOLVO_CONVENTION_LEFT_HANDED_Y_UP.
 * pose         (in) orientation and translation are read.
 * translation  (out) x, y, z of the camera's origin in the world.
 * orientation  (out) the rotation as a quaternion x, y, z, w.
 * Ownership    nothing is kept or allocated.
 * Returns      SOLVO_STATUS_OK            both outputs written;
 *              SOLVO_STATUS_FAILED        an unknown convention; no line, nothing written;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: translation NULL,
 *                                         orientation NULL, pose NULL; one error line, nothing
 *                                         written.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention convention, const SolvoPoseData* pose,
                                 double* translation, double* orientation);

/* base_frame at base_timestamp T target_frame at target_timestamp, chained from five pose
 * queries of the service (SolvoService_getPoseAtTime): the fixed extrinsics of both sensors and
 * of the device (frame 5 to each, asked at time 0) and the device's motion (frame 2 to frame 4)
 * at both times.
 *
 * base_timestamp, target_timestamp  (in) seconds, at least 0.
 * base_frame, target_frame          (in) sensor frames 7, 8 or 9.
 * base_frame_T_target_frame         (out) timestamp (0.0), orientation and translation (both
 *                                   rounded to single precision) and frames; its other fields
 *                                   keep what they held.
 * Ownership    nothing is kept or allocated.
 * Returns      SOLVO_STATUS_OK            the output written;
 *              SOLVO_STATUS_FAILED        a pose query failed: one error line naming the frame
 *                                         pair, later queries not made, output untouched (a
 *                                         NaN time stamp passes the checks and is the
 *                                         service's to refuse; its answers are used as they
 *                                         come);
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: target_frame not
 *                                         a sensor frame, base_frame not one, base_timestamp
 *                                         below 0, target_timestamp below 0,
 *                                         base_frame_T_target_frame NULL; one error line,
 *                                         output untouched.
 * Threads      any thread the service's pose query may be called from. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_calculateRelativePose(
    double base_timestamp, SolvoCoordinateFrameType base_frame, double target_timestamp,
    SolvoCoordinateFrameType target_frame, SolvoPoseData* base_frame_T_target_frame);

/* SolvoSupport_calculateRelativePose, with the pose queries answered by `pose_query`.
 *
 * pose_query  (in) called five times at most, on the calling thread; checked after every other
 *             argument.
 * Ownership    nothing is kept or allocated.
 * Returns      as SolvoSupport_calculateRelativePose, and SOLVO_STATUS_BAD_ARGUMENT when
 *              pose_query is NULL (one error line).
 * Threads      any thread `pose_query` may be called from. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoInternalSupport_calculateRelativePose(
    double base_timestamp, SolvoCoordinateFrameType base_frame, double target_timestamp,
    SolvoCoordinateFrameType target_frame, SolvoPoseData* base_frame_T_target_frame,
    SolvoErrorType (*pose_query)(double, SolvoCoordinateFramePair, SolvoPoseData*));

/* ---- Image buffer manager ------------------------------------------------------------------- */

/* Creates a manager of three zero-filled images of one format and size, handed from one writer
 * thread (the service's image callback) to one reader thread (see Image sizes above).
 *
 * format   (in) SOLVO_HAL_PIXEL_FORMAT_RGBA_8888 or SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP.
 * width, height  (in) from 0 up; the image may hold at most 2147483647 bytes.
 * manager  (out) the new manager.
 * Ownership    the manager and its images are the library's until
 *              SolvoSupport_freeImageBufferManager(*manager).
 * Returns      SOLVO_STATUS_OK            *manager written;
 *              SOLVO_STATUS_FAILED        no memory for the manager or its images (" could not
 *                                         allocate memory."); *manager untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: manager NULL, an
 *                                         unsupported format, width below 0, height below 0, an
 *                                         image too large; one error line, *manager untouched.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createImageBufferManager(
    SolvoImageFormatType format, int width, int height, SolvoSupportImageBufferManager** manager);

/* Releases the manager and its images, including the one last handed out.
 *
 * manager  (in) a manager of SolvoSupport_createImageBufferManager, freed once.
 * Ownership    every image the manager handed out is released with it.
 * Returns      SOLVO_STATUS_OK            released;
 *              SOLVO_STATUS_BAD_ARGUMENT  manager NULL; one error line.
 * Threads      any thread, once neither the writer nor the reader uses the manager any more. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_freeImageBufferManager(SolvoSupportImageBufferManager* manager);

/* Limits later updates to rows [begin_line, end_line) and the chroma rows they use, and with
 * `yonly` to those rows of the luminance plane; the rest of each image keeps what earlier images
 * left there.
 *
 * manager     (in) the manager.
 * yonly       (in) non-zero: luminance only (YCrCb_420_SP only).
 * begin_line  (in) below end_line.
 * end_line    (in) at most the height.
 * Ownership    nothing changes hands.
 * Returns      SOLVO_STATUS_OK            the region is set;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: manager NULL,
 *                                         yonly on an RGBA manager, end_line above the height,
 *                                         begin_line not below end_line; one error line, region
 *                                         unchanged.
 * Threads      the writer's or the reader's thread; an update uses the region set before it
 *              began. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_setImageBufferCopyRegion(
    SolvoSupportImageBufferManager* manager, int yonly, uint32_t begin_line, uint32_t end_line);

/* Copies the rows of `image` chosen by the copy region into the back image, with its time
 * stamp, and hands it over; an image the reader has not fetched yet is dropped.
 *
 * manager  (in) the manager.
 * image    (in) of the manager's format, width and height; `data` holds the whole image.
 * Ownership    nothing is kept: the pixels are copied.
 * Returns      SOLVO_STATUS_OK            handed over, or refused without data or of another
 *                                         format, width or height: then one error line ("No
 *                                         color data in callback (or incorrect format)") and
 *                                         nothing is copied or handed over;
 *              SOLVO_STATUS_FAILED        the manager's mutex could not be locked; no line,
 *                                         the image copied but not handed over;
 *              SOLVO_STATUS_BAD_ARGUMENT  manager NULL, then image NULL; one error line.
 * Threads      the one writer thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_updateImageBuffer(
    SolvoSupportImageBufferManager* manager, const SolvoImageBuffer* image);

/* Stores in *image the newest image handed over when its time stamp is greater than that of the
 * image this reader holds, else that image again (before any update: all zero, stamped 0.0).
 *
 * manager  (in) the manager.
 * image    (out) the image to read.
 * Ownership    the image is the manager's: valid and unchanged until this reader's next call.
 * Returns      SOLVO_STATUS_OK            *image written;
 *              SOLVO_STATUS_FAILED        the manager's mutex could not be locked; no line,
 *                                         *image untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  manager NULL, then image NULL; one error line.
 * Threads      the one reader thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getLatestImageBuffer(
    SolvoSupportImageBufferManager* manager, SolvoImageBuffer** image);

/* ---- Point cloud manager -------------------------------------------------------------------- */

/* Creates a manager of three clouds with room for `max_points` points each, handed from one
 * writer thread (the service's point cloud callback) to one reader thread.
 *
 * max_points  (in) at least 1, and few enough that a cloud's bytes fit in size_t.
 * manager     (out) the new manager.
 * Ownership    the manager and its clouds are the library's until
 *              SolvoSupport_freePointCloudManager(*manager).
 * Returns      SOLVO_STATUS_OK            *manager written;
 *              SOLVO_STATUS_FAILED        no memory for the manager or its clouds; no line,
 *                                         *manager untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  max_points 0 or too large, or manager NULL; no line,
 *                                         *manager untouched.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_createPointCloudManager(uint32_t max_points, SolvoSupportPointCloudManager** manager);

/* Releases the manager and its clouds, including the one last handed out.
 *
 * manager  (in) a manager of SolvoSupport_createPointCloudManager, freed once; NULL releases
 *          nothing.
 * Ownership    every cloud the manager handed out is released with it.
 * Returns      SOLVO_STATUS_OK            always; no line.
 * Threads      any thread, once neither the writer nor the reader uses the manager any more. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_freePointCloudManager(SolvoSupportPointCloudManager* manager);

/* Copies `point_cloud`'s points, point_count and timestamp into the back cloud and hands it
 * over; a cloud the reader has not fetched yet is dropped.
 *
 * manager      (in) the manager.
 * point_cloud  (in) at most the manager's max_points points; it may be a cloud this manager
 *              handed out.
 * Ownership    nothing is kept: the points are copied.
 * Returns      SOLVO_STATUS_OK            handed over, or, for a cloud without points (xyz NULL
 *                                         or point_count 0), refused with one error line ("No
 *                                         data in callback.") and nothing handed over;
 *              SOLVO_STATUS_FAILED        the manager's mutex could not be locked, or no memory
 *                                         for the over-capacity line; no line, nothing handed
 *                                         over;
 *              SOLVO_STATUS_BAD_ARGUMENT  manager or point_cloud NULL (no line), then more points
 *                                         than max_points (one error line); nothing copied or
 *                                         handed over.
 * Threads      the one writer thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_updatePointCloud(
    SolvoSupportPointCloudManager* manager, const SolvoXYZij* point_cloud);

/* Stores in *point_cloud the newest cloud handed over when its time stamp is greater than that of
 * the cloud this reader holds, else that cloud again; the first call gives an empty cloud
 * stamped 0.0. Its tail_words are always zero.
 *
 * manager      (in) the manager.
 * point_cloud  (out) the cloud to read.
 * Ownership    the cloud is the manager's: valid and unchanged until this reader's next call.
 * Returns      SOLVO_STATUS_OK            *point_cloud written;
 *              SOLVO_STATUS_FAILED        the manager's mutex could not be locked; no line,
 *                                         *point_cloud untouched;
 *              SOLVO_STATUS_BAD_ARGUMENT  manager or point_cloud NULL; no line.
 * Threads      the one reader thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_getLatestPointCloud(SolvoSupportPointCloudManager* manager, SolvoXYZij** point_cloud);

/* ---- Meshes --------------------------------------------------------------------------------- */

/* Empties `mesh` and allocates its arrays for the given counts, not cleared: vertices when
 * num_vertices > 0, faces when num_faces > 0, normals and colors when their flag is set and
 * num_vertices > 0. The flags keep the value given.
 *
 * num_vertices, num_faces  (in) counts; their arrays' byte sizes must fit in size_t.
 * has_normals, has_colors  (in) whether the record carries per-vertex normals and colours.
 * mesh                     (out) the caller's record; its previous arrays are not released.
 * Ownership    the arrays belong to the record until SolvoSupport_freeMesh(mesh).
 * Returns      SOLVO_STATUS_OK            allocated;
 *              SOLVO_STATUS_FAILED        no memory for an array (" could not allocate
 *                                         memory."): the record is left empty (every field 0,
 *                                         nothing allocated), so freeing it is harmless;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: mesh NULL,
 *                                         num_vertices too large, num_faces too large; one error
 *                                         line, nothing written.
 * Threads      any thread; the record must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createMesh(uint32_t num_vertices,
                                                            uint32_t num_faces, bool has_normals,
                                                            bool has_colors,
                                                            SolvoMesh_Experimental* mesh);

/* Sets every field of `mesh` to zero without releasing anything: arrays it pointed to stay
 * allocated and are no longer reachable through it.
 *
 * mesh  (out) the caller's record.
 * Ownership    nothing is released; free a record's arrays with SolvoSupport_freeMesh first.
 * Returns      SOLVO_STATUS_OK            emptied;
 *              SOLVO_STATUS_BAD_ARGUMENT  mesh NULL; one error line.
 * Threads      any thread; the record must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_initializeEmptyMesh(SolvoMesh_Experimental* mesh);

/* Deep copy of `input_mesh`, tag included, into newly allocated arrays of `output_mesh`; arrays
 * whose flag is clear are not copied.
 *
 * input_mesh   (in) every array its counts and flags promise is non-NULL.
 * output_mesh  (out) the caller's record, possibly input_mesh itself; its previous arrays are
 *              not released.
 * Ownership    the output's arrays belong to it until SolvoSupport_freeMesh(output_mesh).
 * Returns      SOLVO_STATUS_OK            copied;
 *              SOLVO_STATUS_FAILED        no memory for an array (" could not allocate
 *                                         memory."): the output is left empty;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: input_mesh NULL,
 *                                         output_mesh NULL, a promised array NULL (vertices,
 *                                         faces, normals, colors), num_vertices too large,
 *                                         num_faces too large; one error line, output untouched.
 * Threads      any thread; the records must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental* input_mesh,
                                                          SolvoMesh_Experimental* output_mesh);

/* Releases the record's non-NULL arrays and empties it.
 *
 * mesh  (in/out) a record filled by this library, or an empty one; freeing twice is harmless.
 * Ownership    the arrays are released; the record stays the caller's.
 * Returns      SOLVO_STATUS_OK            released and emptied;
 *              SOLVO_STATUS_BAD_ARGUMENT  mesh NULL; one error line.
 * Threads      any thread; the record must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental* mesh);

/* Simplifies `input_mesh` to at most `target_num_faces` triangles by quadric-error edge collapse
 * into a newly allocated `output_mesh` (tag zero, normals and colours kept per surviving vertex).
 * A target at or above the face count makes an exact copy, tag included. Before simplifying,
 * the input is repaired: faces with a vertex index out of range and degenerate faces (a face
 * using one vertex twice, such as (4, 4, 7)) are dropped, faces that fit no orientation
 * consistent with their neighbours are dropped, vertices no kept face uses are dropped, and a
 * vertex where separate fans of triangles meet is split; warning lines tell of the first two
 * kinds of face, of non-manifold places and of dropped vertices. So the output's counts may
 * differ from the input's even when nothing collapses. Borders are not held fixed: a border edge
 * may collapse (its survivor at the edge's midpoint), but an edge that joins two border vertices
 * across the inside never does. A target of 0 collapses as far as the tuning flags allow; the
 * output keeps more faces than asked whenever no further collapse is safe (a closed tetrahedron
 * keeps all four).
 *
 * input_mesh        (in) every array its counts and flags promise is non-NULL; when simplifying,
 *                   every vertex position finite.
 * target_num_faces  (in) the most triangles to keep.
 * output_mesh       (out) the caller's record; its previous arrays are not released.
 * Ownership    the output's arrays belong to it until SolvoSupport_freeMesh(output_mesh).
 * Returns      SOLVO_STATUS_OK            output written;
 *              SOLVO_STATUS_FAILED        no memory for the work or the output (" could not
 *                                         allocate memory."): the output untouched, or left
 *                                         empty when its arrays could not be had;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: input_mesh NULL,
 *                                         output_mesh NULL, a promised array NULL, a count too
 *                                         large, and when simplifying a vertex position that is
 *                                         not finite; one error line, output untouched.
 * Threads      any thread; the records must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental* input_mesh,
                                  uint32_t target_num_faces, SolvoMesh_Experimental* output_mesh);

/* Extension: told how far a simplification has come. `fraction_done` starts at 0, rises in steps
 * of about a hundredth, and is 1 when the work is complete; `user_data` is what the caller gave.
 * Return 0 to go on; any other value cancels. */
typedef int (*SolvoSupportProgressCallback)(float fraction_done, void* user_data);

/* Extension: SolvoSupport_createSimplifiedMesh, telling `progress` how far it has come.
 *
 * input_mesh, target_num_faces, output_mesh  as in SolvoSupport_createSimplifiedMesh.
 * progress   (in, may be NULL) called on the calling thread, from inside this call.
 * user_data  (in) handed to every call of `progress` unchanged.
 * Ownership    as SolvoSupport_createSimplifiedMesh; nothing is kept after the call.
 * Returns      as SolvoSupport_createSimplifiedMesh, and SOLVO_STATUS_FAILED when `progress`
 *              cancelled: the output is then untouched and no line is written.
 * Threads      any thread; the records must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createSimplifiedMeshWithProgress(
    const SolvoMesh_Experimental* input_mesh, uint32_t target_num_faces,
    SolvoMesh_Experimental* output_mesh, SolvoSupportProgressCallback progress, void* user_data);

/* ---- The library: log lines, tuning flags, version and status texts ------------------------- */

/* Extension: receives one log line of the library (see Log lines above): `priority` as the
 * Android log numbers it (7 fatal down to 2 verbose), `tag` "solvo", and `text` exactly as the
 * Android log receives it, "<source file>:<line> " prefix and final newline included (a long
 * message arrives as its 1000-character pieces, the newline ending the last). The strings are
 * valid during the call only. */
typedef void (*SolvoSupportLogCallback)(int priority, const char* tag, const char* text,
                                        void* user_data);

/* Extension: hands every line written to the Android log from now on also to `callback`, in the
 * order written, on the thread that writes it: the library's logging thread, or at process exit
 * the thread that wrote the line. Fatal lines are not handed over (the process ends); the
 * Android log still receives every line. A library function the callback calls runs as usual:
 * its lines are queued behind the one being delivered and reach the callback after it returns
 * (so a callback that writes a line for every line it receives never lets the logging thread
 * rest). Lines queued before the call but written after it reach the new callback: call
 * SolvoSupport_flushLog first to keep them away.
 *
 * callback   (in, may be NULL) the new receiver; NULL removes the current one.
 * user_data  (in) handed to every call of `callback` unchanged.
 * Ownership    the library keeps both until the next call of this function; once it returns,
 *              no call of the previous callback is still running (on another thread), so its
 *              user_data may be freed. Called from inside the callback, it does not wait for
 *              the call it is in.
 * Returns      SOLVO_STATUS_OK            always.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_setLogCallback(SolvoSupportLogCallback callback,
                                                                void* user_data);

/* Extension: waits until every line written before the call has reached the Android log and the
 * callback. Called from inside the callback, it returns at once.
 *
 * Ownership    nothing changes hands.
 * Returns      SOLVO_STATUS_OK            always.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_flushLog(void);

/* Extension: the text of the last error line that the calling thread's most recent call of a
 * library function wrote, after its "<source file>:<line> " prefix and without the final newline
 * (for a refusal: the signature text and the reason); "" when that call wrote none (the point
 * cloud manager's refusals write none). Library functions called from inside a progress callback
 * count as part of the call that runs it. It does not wait for the logging thread.
 *
 * Ownership    the text is the library's, kept for this thread alone: valid until the thread's
 *              next call of any other library function (SolvoSupport_getStatusString included).
 * Returns      the text; never NULL.
 * Threads      any thread; each thread has its own text. */
SOLVO_SUPPORT_EXPORT const char* SolvoSupport_getLastErrorText(void);

/* Extension: sets the tuning flag `name` (see Tuning flags above) to `value`, parsed by the flags
 * library. Only the library's seven flags are known here, never the flags library's own.
 *
 * name   (in) one of the seven names.
 * value  (in) a value of the flag's type that the library can use.
 * Ownership    nothing is kept: the value is parsed during the call.
 * Returns      SOLVO_STATUS_OK            the flag holds the value;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: name NULL, value
 *                                         NULL, an unknown name (" no tuning flag is named
 *                                         '<name>'."), a value the flag's type does not accept
 *                                         or the library cannot use (" '<value>' is not a valid
 *                                         value of <name>."); one error line, the flag unchanged.
 * Threads      any thread, while no other thread runs a library function (at start-up). */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_setTuningFlag(const char* name, const char* value);

/* Extension: writes the value in force of the tuning flag `name` as the flags library prints it,
 * with its terminating zero: "true", "1", and a double as printf's "%.17g" writes it ("0.999",
 * "1000000", but "0.10000000000000001").
 *
 * name        (in) one of the seven names.
 * value       (out) room for `value_size` characters.
 * value_size  (in) the room at `value`; 32 is always enough.
 * Ownership    nothing is kept.
 * Returns      SOLVO_STATUS_OK            value written;
 *              SOLVO_STATUS_BAD_ARGUMENT  the first failure of, in this order: name NULL, value
 *                                         NULL, an unknown name (" no tuning flag is named
 *                                         '<name>'."), value_size too small (" value_size is too
 *                                         small (<n> needed).", n counting the zero); one error
 *                                         line, value untouched.
 * Threads      any thread, while no other thread sets a flag. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getTuningFlag(const char* name, char* value,
                                                               size_t value_size);

/* Extension: the version of the library loaded, "MAJOR.MINOR.PATCH"; the macros
 * SOLVO_SUPPORT_VERSION_MAJOR, _MINOR and _PATCH give that of these headers.
 *
 * Ownership    the text is the library's and never changes.
 * Returns      the text; never NULL.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT const char* SolvoSupport_getVersionString(void);

/* Extension: a short English description of `status` ("success" for SOLVO_STATUS_OK), and
 * "unknown status" for any value that is not a SolvoErrorType.
 *
 * status  (in) any value.
 * Ownership    the text is the library's and never changes.
 * Returns      the text; never NULL.
 * Threads      any thread. */
SOLVO_SUPPORT_EXPORT const char* SolvoSupport_getStatusString(SolvoErrorType status);

#ifdef __cplusplus
}
#endif

#endif /* SOLVO_SUPPORT_API_H_ */
