/* The plane under a touch as the C interface finds it, for the Java tests to compare with: reads
 * a cloud file (a native-order int32 point count, then x, y, z floats per point) and prints the
 * touched point and the plane a, b, c, d, seven numbers with all their digits.
 *
 *   plane-reference FILE WIDTH HEIGHT FX FY CX CY U V SEED */
#include <solvo_support_api.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 11) {
    fprintf(stderr, "usage: %s FILE WIDTH HEIGHT FX FY CX CY U V SEED\n", argv[0]);
    return 2;
  }
  FILE* file = fopen(argv[1], "rb");
  int32_t count = 0;
  if (file == NULL || fread(&count, sizeof count, 1, file) != 1 || count < 0) {
    fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  SolvoXYZij cloud;
  memset(&cloud, 0, sizeof cloud);
  if (SolvoSupport_createXYZij((uint32_t)count, &cloud) != SOLVO_STATUS_OK ||
      fread(cloud.xyz, 3 * sizeof(float), (size_t)count, file) != (size_t)count) {
    fprintf(stderr, "cannot read the points of %s\n", argv[1]);
    return 1;
  }
  fclose(file);
  cloud.point_count = (uint32_t)count;

  SolvoCameraIntrinsics intrinsics;
  memset(&intrinsics, 0, sizeof intrinsics);
  intrinsics.width = (uint32_t)atoi(argv[2]);
  intrinsics.height = (uint32_t)atoi(argv[3]);
  intrinsics.fx = strtod(argv[4], NULL);
  intrinsics.fy = strtod(argv[5], NULL);
  intrinsics.cx = strtod(argv[6], NULL);
  intrinsics.cy = strtod(argv[7], NULL);
  const float uv[2] = {strtof(argv[8], NULL), strtof(argv[9], NULL)};
  static const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  if (SolvoSupport_setTuningFlag("random_generator_use_random_seed", "false") != SOLVO_STATUS_OK ||
      SolvoSupport_setTuningFlag("random_generator_seed", argv[10]) != SOLVO_STATUS_OK) {
    fprintf(stderr, "%s\n", SolvoSupport_getLastErrorText());
    return 1;
  }
  double point[3];
  double plane[4];
  if (SolvoSupport_fitPlaneModelNearClickMatrixTransform(&cloud, &intrinsics, kIdentity, uv, point,
                                                         plane) != SOLVO_STATUS_OK) {
    fprintf(stderr, "no plane: %s\n", SolvoSupport_getLastErrorText());
    return 1;
  }
  printf("%.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", point[0], point[1], point[2], plane[0],
         plane[1], plane[2], plane[3]);
  SolvoSupport_freeXYZij(&cloud);
  return 0;
}
