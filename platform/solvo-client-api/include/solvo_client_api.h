/* The service's client interface as far as the support library uses it: status codes, frames,
 * the point cloud, intrinsics, pose, image and mesh records, and the pose query.
 *
 * The service fixes these layouts for 32-bit ARM (4-byte pointers, 8-byte aligned doubles);
 * fields named service_* belong to the service and are never read or written by the support
 * library. */
#ifndef SOLVO_CLIENT_API_H_
#define SOLVO_CLIENT_API_H_

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SOLVO_CLIENT_EXPORT __attribute__((visibility("default")))
#else
#define SOLVO_CLIENT_EXPORT
#endif

typedef enum SolvoErrorType {
  SOLVO_STATUS_BAD_ARGUMENT = -2, /* an argument check failed; one error line was written */
  SOLVO_STATUS_FAILED = -1,       /* the arguments were fine but the work found no answer */
  SOLVO_STATUS_OK = 0,
} SolvoErrorType;

typedef enum SolvoCoordinateFrameType {
  SOLVO_FRAME_TRACKING_ORIGIN = 2,      /* fixed frame in which device motion is tracked */
  SOLVO_FRAME_DEVICE = 4,               /* the device body */
  SOLVO_FRAME_EXTRINSICS_REFERENCE = 5, /* the frame the fixed sensor extrinsics refer to */
  SOLVO_FRAME_SENSOR_7 = 7,             /* the sensor frames (cameras) */
  SOLVO_FRAME_SENSOR_8 = 8,
  SOLVO_FRAME_SENSOR_9 = 9,
} SolvoCoordinateFrameType;

typedef enum SolvoImageFormatType {
  SOLVO_HAL_PIXEL_FORMAT_RGBA_8888 = 1,      /* one plane, 4 bytes per pixel */
  SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP = 0x11 /* NV21: luminance plane, then interleaved chroma */
} SolvoImageFormatType;

/* One depth point cloud: `point_count` points of x, y, z in metres, depth camera frame. */
typedef struct SolvoXYZij {
  uint32_t service_word; /* the service's; never read, copy and free leave it alone */
  double timestamp;      /* capture time in seconds */
  uint32_t point_count;
  float (*xyz)[3];
  uint32_t tail_words[4]; /* the service's; zeroed on create and free, never copied */
} SolvoXYZij;

/* Calibration of the colour camera. */
typedef struct SolvoCameraIntrinsics {
  uint32_t service_words[2];
  uint32_t width;  /* pixels */
  uint32_t height; /* pixels */
  double fx;       /* focal lengths in pixels */
  double fy;
  double cx; /* principal point in pixels */
  double cy;
  double distortion[5]; /* the service's lens model; no distortion is applied here */
} SolvoCameraIntrinsics;

typedef struct SolvoCoordinateFramePair {
  SolvoCoordinateFrameType base_frame;
  SolvoCoordinateFrameType target_frame;
} SolvoCoordinateFramePair;

/* Pose of `frames.target_frame` relative to `frames.base_frame`: maps target points into base. */
typedef struct SolvoPoseData {
  uint32_t service_words[2];
  double timestamp;      /* seconds */
  double orientation[4]; /* unit quaternion x, y, z, w */
  double translation[3]; /* metres: the target origin in the base frame */
  uint32_t service_status;
  SolvoCoordinateFramePair frames;
  uint32_t service_tail[3];
} SolvoPoseData;

/* One colour image; rows packed without padding. */
typedef struct SolvoImageBuffer {
  uint32_t width;
  uint32_t height; /* rows of the luminance plane for the YUV format */
  uint32_t service_words[2];
  double timestamp; /* seconds */
  uint32_t service_tail[2];
  SolvoImageFormatType format;
  uint8_t* data;
} SolvoImageBuffer;

/* A triangle mesh; `normals` and `colors` are per vertex. */
typedef struct SolvoMesh_Experimental {
  uint32_t tag[3]; /* never interpreted: copy carries it over, everything else zeroes it */
  float (*vertices)[3];
  uint32_t (*faces)[3];
  float (*normals)[3];
  uint8_t (*colors)[4];
  uint32_t num_vertices;
  uint32_t num_faces;
  bool has_normals;
  bool has_colors;
} SolvoMesh_Experimental;

/* Fills `pose` with base_T_target of `frame` at `timestamp` (seconds). SOLVO_STATUS_OK means
 * `orientation` and `translation` hold the pose; any other value means there is none. */
SOLVO_CLIENT_EXPORT SolvoErrorType SolvoService_getPoseAtTime(double timestamp,
                                                              SolvoCoordinateFramePair frame,
                                                              SolvoPoseData* pose);

#ifdef __cplusplus
}
#endif

#endif /* SOLVO_CLIENT_API_H_ */
