/* Times a depth query and a touch through the C interface, and one copy of the cloud they read,
 * on the cloud GeometryBenchmark.java builds: its baseline (see that file for how to run both). */
#define _POSIX_C_SOURCE 200809L
#include <solvo_support_api.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kWidth = 640, kHeight = 480 };
static const double kFocal = 525.0;
static const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

static double Microseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec * 1e6 + (double)now.tv_nsec / 1e3;
}

static int Compare(const void* a, const void* b) {
  const double x = *(const double*)a;
  const double y = *(const double*)b;
  return (x > y) - (x < y);
}

static double Median(double* values, int count) {
  qsort(values, (size_t)count, sizeof *values, Compare);
  return values[count / 2];
}

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 200;
  if (rounds < 1) return 2;
  SolvoXYZij cloud;
  memset(&cloud, 0, sizeof cloud);
  SolvoXYZij copy;
  memset(&copy, 0, sizeof copy);
  if (SolvoSupport_createXYZij(kWidth * kHeight, &cloud) != SOLVO_STATUS_OK ||
      SolvoSupport_createXYZij(kWidth * kHeight, &copy) != SOLVO_STATUS_OK) {
    return 1;
  }
  uint32_t count = 0;
  for (int row = kHeight / 2 + 2; row < kHeight; ++row) {
    for (int column = 0; column < kWidth; ++column) {
      const double z = 1.5 * kFocal / (row - (kHeight - 1) / 2.0);
      cloud.xyz[count][0] = (float)(z * (column - (kWidth - 1) / 2.0) / kFocal);
      cloud.xyz[count][1] = (float)(1.5 + 0.002 * ((row * 7 + column * 13) % 5 - 2));
      cloud.xyz[count][2] = (float)z;
      ++count;
    }
  }
  cloud.point_count = count;
  SolvoSupport_setTuningFlag("random_generator_use_random_seed", "false");
  SolvoSupport_setTuningFlag("random_generator_seed", "42");

  SolvoCameraIntrinsics intrinsics;
  memset(&intrinsics, 0, sizeof intrinsics);
  intrinsics.width = kWidth;
  intrinsics.height = kHeight;
  intrinsics.fx = intrinsics.fy = kFocal;
  intrinsics.cx = (kWidth - 1) / 2.0;
  intrinsics.cy = (kHeight - 1) / 2.0;
  const float uv[2] = {0.5f, 0.75f};
  double* depth = malloc((size_t)rounds * sizeof *depth);
  double* touch = malloc((size_t)rounds * sizeof *touch);
  double* copies = malloc((size_t)rounds * sizeof *copies);
  if (depth == NULL || touch == NULL || copies == NULL) return 1;
  float sink = 0.0f;
  double plane_seen[4] = {0, 0, 0, 0};
  for (int i = 0; i < rounds; ++i) {
    float point[3];
    int found = 0;
    double touched[3];
    double plane[4];
    const double start = Microseconds();
    SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(&cloud, &intrinsics, kIdentity, uv,
                                                               point, &found);
    const double middle = Microseconds();
    SolvoSupport_fitPlaneModelNearClickMatrixTransform(&cloud, &intrinsics, kIdentity, uv, touched,
                                                       plane);
    const double end = Microseconds();
    memcpy(copy.xyz, cloud.xyz, (size_t)count * sizeof cloud.xyz[0]);
    const double copied = Microseconds();
    depth[i] = middle - start;
    touch[i] = end - middle;
    copies[i] = copied - end;
    memcpy(plane_seen, plane, sizeof plane);
    sink += point[2] + (float)plane[3] + copy.xyz[i % count][0];
  }
  printf("plane %.9f %.9f %.9f %.9f\n", plane_seen[0], plane_seen[1], plane_seen[2], plane_seen[3]);
  printf("c     %u points: depth %.1f us, touch %.1f us, copy of the cloud %.1f us (%s)\n", count,
         Median(depth, rounds), Median(touch, rounds), Median(copies, rounds),
         sink != 0.0f ? "ok" : "");
  free(depth);
  free(touch);
  free(copies);
  SolvoSupport_freeXYZij(&copy);
  SolvoSupport_freeXYZij(&cloud);
  return 0;
}
