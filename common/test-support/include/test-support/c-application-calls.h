/* Exported functions called as a C application calls them: an enumeration argument or field may
 * hold any int, whatever its enumerators. */
#ifndef TEST_SUPPORT_C_APPLICATION_CALLS_H_
#define TEST_SUPPORT_C_APPLICATION_CALLS_H_

#include "solvo_support_api.h"

#ifdef __cplusplus
extern "C" {
#endif

SolvoErrorType CallGetWorldTCameraPose(int convention, const SolvoPoseData* pose,
                                       double* translation, double* orientation);
SolvoErrorType CallCalculateRelativePose(double base_timestamp, int base_frame,
                                         double target_timestamp, int target_frame,
                                         SolvoPoseData* base_frame_T_target_frame);
SolvoErrorType CallInternalCalculateRelativePose(
    double base_timestamp, int base_frame, double target_timestamp, int target_frame,
    SolvoPoseData* base_frame_T_target_frame,
    SolvoErrorType (*pose_query)(double, SolvoCoordinateFramePair, SolvoPoseData*));
SolvoErrorType CallCreateImageBufferManager(int format, int width, int height,
                                            SolvoSupportImageBufferManager** manager);
void SetImageFormat(SolvoImageBuffer* image, int format);
const char* CallGetStatusString(int status);

#ifdef __cplusplus
}
#endif

#endif /* TEST_SUPPORT_C_APPLICATION_CALLS_H_ */
