/* Fills a depth frame the way the service would, copies it, and looks up the depth at the image
 * centre: an application's first steps with the support library. */
#include <solvo_support_api.h>
#include <stdio.h>

enum { kWidth = 640, kHeight = 480 };

int main(void) {
  /* A depth camera 1.5 m above a level floor, looking forward: z forward, y down. */
  SolvoXYZij frame = {0};
  if (SolvoSupport_createXYZij(kWidth * kHeight, &frame) != SOLVO_STATUS_OK) return 1;
  uint32_t count = 0;
  for (int row = kHeight / 2 + 1; row < kHeight; ++row) {
    for (int column = 0; column < kWidth; ++column) {
      const double y = 1.5;
      const double z = y * 520.0 / (row - kHeight / 2.0);
      frame.xyz[count][0] = (float)(z * (column - kWidth / 2.0) / 520.0);
      frame.xyz[count][1] = (float)y;
      frame.xyz[count][2] = (float)z;
      ++count;
    }
  }
  frame.point_count = count;
  frame.timestamp = 12.5;

  SolvoXYZij copy = {0};
  SolvoSupport_createXYZij(count, &copy);
  SolvoSupport_copyXYZij(&frame, &copy);
  printf("depth frame: %u points at t = %.1f s, copied: %u points\n", frame.point_count,
         frame.timestamp, copy.point_count);

  SolvoCameraIntrinsics intrinsics = {0};
  intrinsics.width = kWidth;
  intrinsics.height = kHeight;
  intrinsics.fx = intrinsics.fy = 520.0;
  intrinsics.cx = kWidth / 2.0;
  intrinsics.cy = kHeight / 2.0;
  const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float uv[2] = {0.5f, 0.75f};
  float point[3] = {0, 0, 0};
  int found = 0;
  SolvoErrorType status = SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
      &copy, &intrinsics, identity, uv, point, &found);
  printf("depth under pixel (%.0f, %.0f): status %d, found %d, point (%.3f, %.3f, %.3f)\n",
         uv[0] * kWidth, uv[1] * kHeight, (int)status, found, point[0], point[1], point[2]);

  SolvoSupport_freeXYZij(&copy);
  SolvoSupport_freeXYZij(&frame);
  return 0;
}
