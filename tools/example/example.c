/* A complete C application of the support library, built against its installed package: it
 * prints the library's log lines through its own callback, finds the depth under a pixel and the
 * plane under a touch (with a fixed random seed, so every run finds the same plane), re-expresses
 * a camera pose and asks the simulated device for a relative pose, streams frames from a writer
 * thread to a reader thread through both managers, and simplifies a mesh with progress, then
 * cancels a second simplification half-way. */
#define _POSIX_C_SOURCE 200809L
#include <math.h>
#include <pthread.h>
#include <sched.h>
#include <solvo_support_api.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kWidth = 320, kHeight = 240, kFrames = 50 };

static const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

/* Stops the example with the library's own words for what went wrong. */
static void Expect(SolvoErrorType status, SolvoErrorType expected, const char* what) {
  if (status == expected) return;
  fprintf(stderr, "%s: %s (%s)\n", what, SolvoSupport_getStatusString(status),
          SolvoSupport_getLastErrorText());
  exit(1);
}

/* Runs on the library's logging thread; `text` ends with a newline. */
static void PrintLibraryLine(int priority, const char* tag, const char* text, void* user_data) {
  (void)user_data;
  printf("  [%s, priority %d] %s", tag, priority, text);
}

/* A coefficient for printing: a noisy fit's near-zero terms would show as -0.000000. */
static double Tidy(double value) { return fabs(value) < 5e-7 ? 0.0 : value; }

static SolvoCameraIntrinsics Intrinsics(void) {
  SolvoCameraIntrinsics intrinsics;
  memset(&intrinsics, 0, sizeof intrinsics);
  intrinsics.width = kWidth;
  intrinsics.height = kHeight;
  intrinsics.fx = intrinsics.fy = 260.0;
  intrinsics.cx = (kWidth - 1) / 2.0;
  intrinsics.cy = (kHeight - 1) / 2.0;
  return intrinsics;
}

/* A depth frame of a camera 1.5 m above a level floor, looking along it (x right, y down, z
 * forward), with up to 3 mm of noise from a fixed sequence, stamped `timestamp`. */
static void FillFloorFrame(SolvoXYZij* frame, double timestamp) {
  uint32_t noise_state = 7u;
  uint32_t count = 0;
  for (int row = kHeight / 2 + 2; row < kHeight; ++row) {
    for (int column = 0; column < kWidth; ++column) {
      noise_state = noise_state * 1664525u + 1013904223u;
      const double noise = ((double)(noise_state >> 8) / 16777216.0 - 0.5) * 0.006;
      const double z = 1.5 * 260.0 / (row - (kHeight - 1) / 2.0);
      frame->xyz[count][0] = (float)(z * (column - (kWidth - 1) / 2.0) / 260.0);
      frame->xyz[count][1] = (float)(1.5 + noise);
      frame->xyz[count][2] = (float)z;
      ++count;
    }
  }
  frame->point_count = count;
  frame->timestamp = timestamp;
}

static void DepthAndTouch(const SolvoXYZij* frame) {
  const SolvoCameraIntrinsics intrinsics = Intrinsics();
  const float uv[2] = {0.5f, 0.75f};
  float point[3];
  int found = 0;
  Expect(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(frame, &intrinsics, kIdentity,
                                                                    uv, point, &found),
         SOLVO_STATUS_OK, "depth");
  printf("depth under (%.2f, %.2f): found %d, point (%.3f, %.3f, %.3f) m\n", uv[0], uv[1], found,
         point[0], point[1], point[2]);

  /* The touch's RANSAC draws from a generator seeded from the clock unless told otherwise. */
  Expect(SolvoSupport_setTuningFlag("random_generator_use_random_seed", "false"), SOLVO_STATUS_OK,
         "fixing the seed");
  Expect(SolvoSupport_setTuningFlag("random_generator_seed", "42"), SOLVO_STATUS_OK,
         "setting the seed");
  double plane[4];
  double touched[3];
  Expect(SolvoSupport_fitPlaneModelNearClickMatrixTransform(frame, &intrinsics, kIdentity, uv,
                                                            touched, plane),
         SOLVO_STATUS_OK, "touch");
  printf("plane under the touch: %.6f x + %.6f y + %.6f z + %.6f = 0, touched (%.3f, %.3f, %.3f)\n",
         Tidy(plane[0]), Tidy(plane[1]), Tidy(plane[2]), Tidy(plane[3]), touched[0], touched[1],
         touched[2]);
}

static void Poses(void) {
  SolvoPoseData pose;
  memset(&pose, 0, sizeof pose);
  pose.orientation[3] = 1.0;
  pose.translation[0] = 1.0;
  pose.translation[1] = 2.0;
  pose.translation[2] = 3.0;
  double translation[3];
  double orientation[4];
  Expect(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, &pose, translation,
                                          orientation),
         SOLVO_STATUS_OK, "world pose");
  printf(
      "camera at (1, 2, 3) in the z-up world is at (%.1f, %.1f, %.1f) y-up, turned (%.4f, "
      "%.4f, %.4f, %.4f)\n",
      translation[0], translation[1], translation[2], orientation[0], orientation[1],
      orientation[2], orientation[3]);

  /* The installed client library simulates a device; on the device the service answers. */
  SolvoPoseData relative;
  memset(&relative, 0, sizeof relative);
  Expect(SolvoSupport_calculateRelativePose(1.0, SOLVO_FRAME_SENSOR_7, 2.5, SOLVO_FRAME_SENSOR_9,
                                            &relative),
         SOLVO_STATUS_OK, "relative pose");
  printf(
      "sensor 7 at 1.0 s T sensor 9 at 2.5 s: translation (%.4f, %.4f, %.4f), rotation "
      "(%.4f, %.4f, %.4f, %.4f)\n",
      relative.translation[0], relative.translation[1], relative.translation[2],
      relative.orientation[0], relative.orientation[1], relative.orientation[2],
      relative.orientation[3]);
  /* A refusal: one line, and its words for the application's own message. */
  Expect(SolvoSupport_calculateRelativePose(-1.0, SOLVO_FRAME_SENSOR_7, 2.5, SOLVO_FRAME_SENSOR_9,
                                            &relative),
         SOLVO_STATUS_BAD_ARGUMENT, "a negative time stamp");
  printf("a negative time stamp is refused: %s\n", SolvoSupport_getLastErrorText());
  SolvoSupport_flushLog();
}

/* ---- Two threads and both managers: the writer plays the service's callbacks. */

typedef struct Stream {
  SolvoSupportPointCloudManager* clouds;
  SolvoSupportImageBufferManager* images;
  const SolvoXYZij* frame;
} Stream;

static void* Write(void* argument) {
  const Stream* stream = (const Stream*)argument;
  SolvoXYZij cloud = *stream->frame;
  SolvoImageBuffer image;
  memset(&image, 0, sizeof image);
  image.width = kWidth;
  image.height = kHeight;
  image.format = SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;
  static uint8_t pixels[kWidth * (kHeight + kHeight / 2)];
  image.data = pixels;
  for (int i = 1; i <= kFrames; ++i) {
    cloud.timestamp = i;
    memset(pixels, i, sizeof pixels); /* every byte tells which frame it belongs to */
    image.timestamp = i;
    Expect(SolvoSupport_updatePointCloud(stream->clouds, &cloud), SOLVO_STATUS_OK, "cloud update");
    Expect(SolvoSupport_updateImageBuffer(stream->images, &image), SOLVO_STATUS_OK, "image update");
  }
  return NULL;
}

static void* Read(void* argument) {
  const Stream* stream = (const Stream*)argument;
  static int frames_seen = 0;
  double cloud_time = 0.0;
  double image_time = 0.0;
  while (cloud_time < kFrames || image_time < kFrames) {
    SolvoXYZij* cloud = NULL;
    SolvoImageBuffer* image = NULL;
    Expect(SolvoSupport_getLatestPointCloud(stream->clouds, &cloud), SOLVO_STATUS_OK, "cloud");
    Expect(SolvoSupport_getLatestImageBuffer(stream->images, &image), SOLVO_STATUS_OK, "image");
    if (cloud->timestamp > cloud_time) ++frames_seen;
    cloud_time = cloud->timestamp;
    /* The image handed out stays as it is until this thread asks again. */
    if (image->timestamp > 0.0 && image->data[0] != (uint8_t)image->timestamp) {
      fprintf(stderr, "image %.0f holds the bytes of another frame\n", image->timestamp);
      exit(1);
    }
    image_time = image->timestamp;
    sched_yield();
  }
  return &frames_seen;
}

static void StreamFrames(const SolvoXYZij* frame) {
  Stream stream = {NULL, NULL, frame};
  Expect(SolvoSupport_createPointCloudManager(frame->point_count, &stream.clouds), SOLVO_STATUS_OK,
         "cloud manager");
  Expect(SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, kWidth, kHeight,
                                               &stream.images),
         SOLVO_STATUS_OK, "image manager");
  pthread_t writer;
  pthread_t reader;
  if (pthread_create(&reader, NULL, Read, &stream) != 0) exit(1);
  if (pthread_create(&writer, NULL, Write, &stream) != 0) exit(1);
  void* seen = NULL;
  pthread_join(writer, NULL);
  pthread_join(reader, &seen);
  printf("the reader saw %d of the %d clouds the writer handed over, the last one included\n",
         *(int*)seen, kFrames);
  SolvoSupport_freeImageBufferManager(stream.images);
  SolvoSupport_freePointCloudManager(stream.clouds);
}

/* ---- Mesh simplification with progress, and a cancel. */

enum { kGrid = 60 };

/* A wavy sheet of kGrid x kGrid vertices, and one degenerate face the library drops. */
static void MakeSheet(SolvoMesh_Experimental* mesh) {
  const uint32_t faces = 2 * (kGrid - 1) * (kGrid - 1) + 1;
  Expect(SolvoSupport_createMesh(kGrid * kGrid, faces, false, false, mesh), SOLVO_STATUS_OK,
         "mesh");
  for (int y = 0; y < kGrid; ++y) {
    for (int x = 0; x < kGrid; ++x) {
      float* vertex = mesh->vertices[y * kGrid + x];
      vertex[0] = (float)x * 0.01f;
      vertex[1] = (float)y * 0.01f;
      vertex[2] = 0.05f * (float)(sin(x * 0.2) * cos(y * 0.15));
    }
  }
  uint32_t f = 0;
  for (uint32_t y = 0; y + 1 < kGrid; ++y) {
    for (uint32_t x = 0; x + 1 < kGrid; ++x) {
      const uint32_t v = y * kGrid + x;
      const uint32_t a[3] = {v, v + 1, v + kGrid + 1};
      const uint32_t b[3] = {v, v + kGrid + 1, v + kGrid};
      memcpy(mesh->faces[f++], a, sizeof a);
      memcpy(mesh->faces[f++], b, sizeof b);
    }
  }
  const uint32_t degenerate[3] = {4, 4, 7};
  memcpy(mesh->faces[f], degenerate, sizeof degenerate);
}

static int ShowProgress(float fraction_done, void* user_data) {
  float* next = (float*)user_data;
  if (fraction_done >= *next) {
    printf("  simplified %3.0f%%\n", 100.0f * fraction_done);
    *next += 0.25f;
  }
  return 0;
}

static int CancelHalfWay(float fraction_done, void* user_data) {
  (void)user_data;
  return fraction_done >= 0.5f;
}

static void Simplify(void) {
  SolvoMesh_Experimental sheet = {0};
  MakeSheet(&sheet);
  SolvoMesh_Experimental small = {0};
  float next = 0.0f;
  Expect(SolvoSupport_createSimplifiedMeshWithProgress(&sheet, 500, &small, ShowProgress, &next),
         SOLVO_STATUS_OK, "simplification");
  SolvoSupport_flushLog(); /* the degenerate face's warning before the result */
  printf("simplified %u faces to %u (%u vertices)\n", sheet.num_faces, small.num_faces,
         small.num_vertices);

  SolvoMesh_Experimental cancelled = {0};
  Expect(
      SolvoSupport_createSimplifiedMeshWithProgress(&sheet, 500, &cancelled, CancelHalfWay, NULL),
      SOLVO_STATUS_FAILED, "cancelled simplification");
  printf("a simplification cancelled half-way leaves its output empty: %u faces\n",
         cancelled.num_faces);
  SolvoSupport_freeMesh(&small);
  SolvoSupport_freeMesh(&sheet);
}

int main(void) {
  printf("libsolvo_support_api %s (headers %d.%d.%d)\n", SolvoSupport_getVersionString(),
         SOLVO_SUPPORT_VERSION_MAJOR, SOLVO_SUPPORT_VERSION_MINOR, SOLVO_SUPPORT_VERSION_PATCH);
  Expect(SolvoSupport_setLogCallback(PrintLibraryLine, NULL), SOLVO_STATUS_OK, "log callback");

  SolvoXYZij frame = {0};
  Expect(SolvoSupport_createXYZij(kWidth * kHeight, &frame), SOLVO_STATUS_OK, "point cloud");
  FillFloorFrame(&frame, 0.5);
  SolvoXYZij copy = {0};
  Expect(SolvoSupport_createXYZij(frame.point_count, &copy), SOLVO_STATUS_OK, "copy");
  Expect(SolvoSupport_copyXYZij(&frame, &copy), SOLVO_STATUS_OK, "copy");
  printf("depth frame: %u points at t = %.1f s\n", copy.point_count, copy.timestamp);

  DepthAndTouch(&copy);
  Poses();
  StreamFrames(&copy);
  Simplify();

  SolvoSupport_freeXYZij(&copy);
  SolvoSupport_freeXYZij(&frame);
  /* Every line delivered before the callback goes. */
  SolvoSupport_flushLog();
  SolvoSupport_setLogCallback(NULL, NULL);
  return 0;
}
