/* Geometry support for applications of the depth-sensing, motion-tracking service.
 *
 * Every function returns a SolvoErrorType: SOLVO_STATUS_OK (0) when it did its work,
 * SOLVO_STATUS_FAILED (-1) when the arguments were fine but there was no answer, and
 * SOLVO_STATUS_BAD_ARGUMENT (-2) when an argument check failed; then one error line, tagged
 * "solvo", names the function and the argument, and nothing has been written. No function
 * throws. Records passed in belong to the caller.
 *
 * A point cloud, created, used and freed:
 *
 *   SolvoXYZij cloud;
 *   SolvoSupport_createXYZij(640 * 480, &cloud);      // room for 307200 points, none held
 *   ... fill cloud.xyz[i][0..2], set cloud.point_count and cloud.timestamp ...
 *   float uv[2] = {0.5f, 0.5f}, point[3];
 *   int found;
 *   SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(&cloud, &intrinsics,
 *       color_camera_T_point_cloud, uv, point, &found);
 *   SolvoSupport_freeXYZij(&cloud);
 *
 * Transforms are 16 doubles in column-major order (translation at indices 12, 13, 14);
 * a_T_b carries points given in frame b into frame a. Quaternions are stored x, y, z, w. */
#ifndef SOLVO_SUPPORT_API_H_
#define SOLVO_SUPPORT_API_H_

#include <stdbool.h>
#include <stdint.h>

#include "solvo_client_api.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SOLVO_SUPPORT_EXPORT __attribute__((visibility("default")))
#else
#define SOLVO_SUPPORT_EXPORT
#endif

/* World and camera axes for SolvoSupport_getWorldTCameraPose. */
typedef enum SolvoCoordinateConvention {
  SOLVO_CONVENTION_RIGHT_HANDED_Y_UP = 0,
  SOLVO_CONVENTION_LEFT_HANDED_Y_UP = 1,
} SolvoCoordinateConvention;

/* Opaque handles of the two frame buffer managers. */
typedef struct SolvoSupportImageBufferManager SolvoSupportImageBufferManager;
typedef struct SolvoSupportPointCloudManager SolvoSupportPointCloudManager;

/* ---- Depth at an image point ---------------------------------------------------------------- */

/* The 3D point under the image position `uv_coordinates` (u, v as fractions of the colour image's
 * width and height), in the colour camera's frame: every depth point is projected into the colour
 * image, the nearest projection within 10 pixels gives the depth, and the queried pixel's ray is
 * lifted to it.
 *
 * point_cloud                 (in) at least one point; `xyz` non-NULL.
 * camera_intrinsics           (in) fx > 0 and fy > 0.
 * color_camera_T_point_cloud  (in) 16 doubles, copied before use.
 * uv_coordinates              (in) two floats.  point_out (out) three floats.
 * valid_out                   (out, optional) 1 when a point was found, else 0.
 * Returns  SOLVO_STATUS_OK            found or not (not found: point_out is (0, 0, 0));
 *          SOLVO_STATUS_BAD_ARGUMENT  a NULL pointer (valid_out aside), no points, or invalid
 *                                     intrinsics; one error line, nothing written.
 * Threads  any thread; no allocation. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* camera_intrinsics,
    const double* color_camera_T_point_cloud, const float* uv_coordinates, float* point_out,
    int* valid_out);

/* As above, with the transform given as a pose record. A NULL pose is reported with this
 * function's name; every later error line carries the matrix variant's name. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getDepthAtPointNearestNeighbor(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* camera_intrinsics,
    const SolvoPoseData* color_camera_T_point_cloud, const float* uv_coordinates, float* point_out,
    int* valid_out);

/* ---- Plane under a touched pixel ------------------------------------------------------------ */

/* The plane under the touched image position `uv_coordinates` (u, v as fractions of the colour
 * image's width and height) and the point where the touch ray meets it, both in the point cloud's
 * frame: RANSAC (50 samples, threshold 0.01) among the depth points projected strictly within 100
 * pixels of the touch, refined by least squares against the whole cloud (threshold 0.01),
 * normalised and turned to face the camera.
 *
 * point_cloud                        (in) at least three points; `xyz` non-NULL.
 * intrinsics                         (in) width, height, fx, fy, cx, cy of the colour camera.
 * color_camera_T_point_cloud_pointer (in) 16 doubles, column-major.
 * uv_coordinates                     (in) two floats.
 * intersection_point  (out) three doubles.  plane_equation (out) a, b, c, d with a unit normal.
 * Returns  SOLVO_STATUS_OK            both outputs written;
 *          SOLVO_STATUS_FAILED        fewer than three points near the touch, or the touch ray
 *                                     parallel to the plane (one error line each); no plane
 *                                     found, or too few inliers in the whole cloud (the latter
 *                                     with one error line); outputs untouched;
 *          SOLVO_STATUS_BAD_ARGUMENT  a NULL pointer or fewer than three points; one error line,
 *                                     outputs untouched.
 * Threads  any thread; the random seed comes from the tuning flags. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_fitPlaneModelNearClickMatrixTransform(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* intrinsics,
    const double* color_camera_T_point_cloud_pointer, const float* uv_coordinates,
    double* intersection_point, double* plane_equation);

/* As above, with the transform given as a pose record. A NULL pose is reported with this
 * function's name; every later error line carries the matrix variant's name. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_fitPlaneModelNearClick(
    const SolvoXYZij* point_cloud, const SolvoCameraIntrinsics* intrinsics,
    const SolvoPoseData* color_camera_t1_T_depth_camera_t0, const float* uv_coordinates,
    double* intersection_point, double* plane_equation);

/* A plane through the cloud by RANSAC: up to `max_iterations` three-point samples, inliers closer
 * than `distance_threshold`, stopping early once a sample reaches `sufficient_inlier_ratio` of
 * the points, accepted when the best reaches `minimum_inlier_ratio`, and refitted by least
 * squares to its inliers.
 *
 * plane_model  (out) a, b, c, d; three inliers give an unnormalised normal.
 * Returns  SOLVO_STATUS_OK;
 *          SOLVO_STATUS_FAILED        no plane; plane_model is (0, 0, 1, 0); no line;
 *          SOLVO_STATUS_BAD_ARGUMENT  a NULL pointer, fewer than three points, or ratios that
 *                                     break 0 <= minimum <= sufficient <= 1 (or NaN); one error
 *                                     line, plane_model untouched.
 * Threads  any thread; the random seed comes from the tuning flags. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoInternalSupport_fitPlaneToPointCloudRANSAC(
    const SolvoXYZij* point_cloud, int max_iterations, double distance_threshold,
    double sufficient_inlier_ratio, double minimum_inlier_ratio, double* plane_model);

/* Least-squares refit of `input_plane_model` to the cloud's points closer than
 * `distance_threshold`. Input and output may be the same array.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_FAILED (fewer than three inliers, with one error line,
 *          or inliers that span no plane; output untouched); SOLVO_STATUS_BAD_ARGUMENT (NULL
 *          pointer or fewer than three points; one error line, output untouched).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoInternalSupport_refinePlaneModel(
    const SolvoXYZij* point_cloud, const double* input_plane_model, double distance_threshold,
    double* output_plane_model);

/* ---- Point cloud records -------------------------------------------------------------------- */

/* Gives `point_cloud` room for `max_point_count` points; its point_count and timestamp are 0.
 *
 * point_cloud  (in/out) the caller's record; NULL is refused.
 * Ownership    the xyz array belongs to the record until SolvoSupport_freeXYZij(point_cloud).
 * Returns      SOLVO_STATUS_OK            the array is allocated;
 *              SOLVO_STATUS_BAD_ARGUMENT  point_cloud is NULL, or the array's byte size does not
 *                                         fit in size_t; one error line is logged.
 * Threads      any thread; the record must not be used elsewhere during the call. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createXYZij(uint32_t max_point_count,
                                                             SolvoXYZij* point_cloud);

/* Releases the xyz array (if any) and clears xyz, point_count, timestamp and tail_words.
 * Freeing twice is harmless.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT when point_cloud is NULL (one error line).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij* point_cloud);

/* Copies point_count points, point_count and timestamp into the output's existing xyz array,
 * which must have room for them (nothing is allocated). tail_words are not copied.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT when either record is NULL (one error line).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_copyXYZij(const SolvoXYZij* input_point_cloud,
                                                           SolvoXYZij* output_point_cloud);

/* ---- Poses ---------------------------------------------------------------------------------- */

/* Re-expresses `pose` (base_T_camera) as world_T_camera in `convention`.
 * pose (in) checked after the outputs.  translation (out) x, y, z.  orientation (out) x, y, z, w.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_FAILED for an unknown convention (silently, nothing
 *          written); SOLVO_STATUS_BAD_ARGUMENT for a NULL pointer (one error line).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention convention, const SolvoPoseData* pose,
                                 double* translation, double* orientation);

/* base_frame at base_timestamp T target_frame at target_timestamp, chained from five pose
 * queries of the service. Frames must be sensor frames 7, 8 or 9; time stamps >= 0.
 * Writes timestamp (0.0), orientation, translation (rounded to single precision) and frames.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_FAILED when a pose query fails (one error line naming
 *          the frame pair); SOLVO_STATUS_BAD_ARGUMENT (one error line).
 * Threads  any thread the service's pose query may be called from. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_calculateRelativePose(
    double base_timestamp, SolvoCoordinateFrameType base_frame, double target_timestamp,
    SolvoCoordinateFrameType target_frame, SolvoPoseData* base_frame_T_target_frame);

/* As SolvoSupport_calculateRelativePose, with the pose queries answered by `pose_query`; a NULL
 * pose_query is refused like a NULL output (SOLVO_STATUS_BAD_ARGUMENT, one error line). */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoInternalSupport_calculateRelativePose(
    double base_timestamp, SolvoCoordinateFrameType base_frame, double target_timestamp,
    SolvoCoordinateFrameType target_frame, SolvoPoseData* base_frame_T_target_frame,
    SolvoErrorType (*pose_query)(double, SolvoCoordinateFramePair, SolvoPoseData*));

/* ---- Image buffer manager ------------------------------------------------------------------- */

/* Creates a manager of three zero-filled images of `format` (RGBA_8888 or YCrCb_420_SP) and
 * size. Ownership: free with SolvoSupport_freeImageBufferManager.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT (NULL manager, unsupported format, negative
 *          or too large size; one error line).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createImageBufferManager(
    SolvoImageFormatType format, int width, int height, SolvoSupportImageBufferManager** manager);

/* Releases the manager and its images, including the one last handed out.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT for NULL (one error line).
 * Threads  once neither the writer nor the reader uses the manager any more. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_freeImageBufferManager(SolvoSupportImageBufferManager* manager);

/* Limits later updates to rows [begin_line, end_line) with the chroma rows they use, and with
 * `yonly` (YUV only) to those rows of the luminance plane.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT (NULL manager, yonly on RGBA, end_line above
 *          the height, begin_line not below end_line; one error line, region unchanged).
 * Threads  the writer's or the reader's thread; an update uses the region set before it began. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_setImageBufferCopyRegion(
    SolvoSupportImageBufferManager* manager, int yonly, uint32_t begin_line, uint32_t end_line);

/* Copies the rows of `image` chosen by the copy region into the back buffer, with its time
 * stamp, and hands it over; an image the reader has not fetched yet is dropped.
 * image    (in) the manager's format, width and height; `data` holds the whole image.
 * Returns  SOLVO_STATUS_OK, also when the image is refused: without data or of another format,
 *          width or height it is reported in one error line, and nothing is copied or handed over;
 *          SOLVO_STATUS_BAD_ARGUMENT for a NULL manager or image (one error line).
 * Threads  the one writer thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_updateImageBuffer(
    SolvoSupportImageBufferManager* manager, const SolvoImageBuffer* image);

/* Stores in *image the newest image handed over when its time stamp is greater than that of the
 * image this reader holds, else that image again (before any update: all zero, stamped 0.0).
 * It stays valid and unchanged until this reader's next call. Ownership: the manager's.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT for a NULL argument (one error line).
 * Threads  the one reader thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_getLatestImageBuffer(
    SolvoSupportImageBufferManager* manager, SolvoImageBuffer** image);

/* ---- Point cloud manager (bad arguments refused without a log line, too many points aside) -- */

/* Creates a manager of three clouds with room for `max_points` points each.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT for max_points 0 (or too many points to
 *          address), or a NULL manager.
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_createPointCloudManager(uint32_t max_points, SolvoSupportPointCloudManager** manager);

/* Releases the manager and its clouds; NULL releases nothing. Returns SOLVO_STATUS_OK. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_freePointCloudManager(SolvoSupportPointCloudManager* manager);

/* Copies `point_cloud` into the back cloud and hands it over.
 * Returns  SOLVO_STATUS_OK (also for a cloud without points, not handed over, one error line);
 *          SOLVO_STATUS_BAD_ARGUMENT for a NULL argument, or for more points than the capacity
 *          (then one error line; nothing copied or handed over).
 * Threads  the one writer thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_updatePointCloud(
    SolvoSupportPointCloudManager* manager, const SolvoXYZij* point_cloud);

/* Stores in *point_cloud the newest cloud handed over when its time stamp is greater than that of
 * the cloud this reader holds, else that cloud again; the first call gives an empty cloud stamped
 * 0.0. It stays valid and unchanged until this reader's next call. Ownership: the manager's.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT for a NULL argument.
 * Threads  the one reader thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_getLatestPointCloud(SolvoSupportPointCloudManager* manager, SolvoXYZij** point_cloud);

/* ---- Meshes --------------------------------------------------------------------------------- */

/* Allocates the record's arrays for the given counts (not cleared); the record's previous arrays
 * are not released. Ownership: release with SolvoSupport_freeMesh.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT (NULL mesh, or counts whose byte sizes do
 *          not fit in size_t; one error line).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createMesh(uint32_t num_vertices,
                                                            uint32_t num_faces, bool has_normals,
                                                            bool has_colors,
                                                            SolvoMesh_Experimental* mesh);

/* Sets every field to zero without releasing anything.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT for NULL (one error line). */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_initializeEmptyMesh(SolvoMesh_Experimental* mesh);

/* Deep copy into newly allocated arrays of `output_mesh` (its previous arrays are not released).
 * Ownership: release the output with SolvoSupport_freeMesh.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT (NULL record, an array the counts promise
 *          that is NULL, or sizes that do not fit in size_t; one error line, output untouched).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental* input_mesh,
                                                          SolvoMesh_Experimental* output_mesh);

/* Releases the record's arrays and empties it; freeing an empty record is harmless.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT for NULL (one error line). */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental* mesh);

/* Simplifies `input_mesh` to at most `target_num_faces` triangles by quadric-error edge
 * collapse into a newly allocated `output_mesh` (tag zero); a target at or above the face count
 * makes an exact copy, tag included. Faces with an index out of range or used twice are dropped
 * with a warning line; the output may keep more faces than asked when no collapse is safe.
 * Ownership: release the output with SolvoSupport_freeMesh; its previous arrays are not released.
 * Returns  SOLVO_STATUS_OK; SOLVO_STATUS_BAD_ARGUMENT (NULL record, an array the counts promise
 *          that is NULL, sizes that do not fit in size_t, or, when simplifying, a vertex position
 *          that is not finite; one error line, output untouched).
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType
SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental* input_mesh,
                                  uint32_t target_num_faces, SolvoMesh_Experimental* output_mesh);

/* Told how far a long simplification has come: `fraction_done` starts at 0, rises, and is 1 when
 * the work is complete. Return 0 to go on; any other value cancels. Called on the caller's
 * thread, from inside SolvoSupport_createSimplifiedMeshWithProgress. */
typedef int (*SolvoSupportProgressCallback)(float fraction_done, void* user_data);

/* SolvoSupport_createSimplifiedMesh, telling `progress` (which may be NULL) how far it has come;
 * `user_data` is handed to every call unchanged.
 * Returns  as SolvoSupport_createSimplifiedMesh, and SOLVO_STATUS_FAILED when `progress`
 *          cancelled: the output is then untouched and no line is written.
 * Threads  any thread. */
SOLVO_SUPPORT_EXPORT SolvoErrorType SolvoSupport_createSimplifiedMeshWithProgress(
    const SolvoMesh_Experimental* input_mesh, uint32_t target_num_faces,
    SolvoMesh_Experimental* output_mesh, SolvoSupportProgressCallback progress, void* user_data);

#ifdef __cplusplus
}
#endif

#endif /* SOLVO_SUPPORT_API_H_ */
