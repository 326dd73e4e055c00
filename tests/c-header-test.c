/* The public header as a C99 program sees it: records, enums and a create, copy, free cycle. */
#include <solvo_support_api.h>
#include <stdio.h>

int main(void) {
  SolvoXYZij input = {0};
  SolvoXYZij output = {0};
  if (SolvoSupport_createXYZij(2, &input) != SOLVO_STATUS_OK) return 1;
  if (SolvoSupport_createXYZij(2, &output) != SOLVO_STATUS_OK) return 1;
  input.xyz[1][2] = 3.5f;
  input.point_count = 2;
  input.timestamp = 1.0;
  if (SolvoSupport_copyXYZij(&input, &output) != SOLVO_STATUS_OK) return 1;
  if (output.xyz[1][2] != 3.5f || output.point_count != 2) return 1;
  SolvoSupport_freeXYZij(&input);
  SolvoSupport_freeXYZij(&output);

  SolvoCoordinateConvention convention = SOLVO_CONVENTION_LEFT_HANDED_Y_UP;
  SolvoCoordinateFrameType frame = SOLVO_FRAME_SENSOR_7;
  SolvoImageFormatType format = SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;
  SolvoSupportImageBufferManager* image_manager = NULL;
  SolvoSupportPointCloudManager* cloud_manager = NULL;
  (void)image_manager;
  (void)cloud_manager;
  printf("convention %d frame %d format %d\n", (int)convention, (int)frame, (int)format);
  return 0;
}
