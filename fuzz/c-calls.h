/* Exported functions called with enumerations as a C application calls them: with any int. */
#ifndef SOLVO_FUZZ_C_CALLS_H_
#define SOLVO_FUZZ_C_CALLS_H_

#include "solvo_support_api.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef SolvoErrorType (*FuzzPoseQuery)(double, SolvoCoordinateFramePair, SolvoPoseData*);

SolvoErrorType FuzzGetWorldTCameraPose(int convention, const SolvoPoseData* pose,
                                       double* translation, double* orientation);
SolvoErrorType FuzzCalculateRelativePose(double base_timestamp, int base_frame,
                                         double target_timestamp, int target_frame,
                                         SolvoPoseData* base_frame_T_target_frame);
SolvoErrorType FuzzInternalCalculateRelativePose(double base_timestamp, int base_frame,
                                                 double target_timestamp, int target_frame,
                                                 SolvoPoseData* base_frame_T_target_frame,
                                                 FuzzPoseQuery pose_query);
SolvoErrorType FuzzCreateImageBufferManager(int format, int width, int height,
                                            SolvoSupportImageBufferManager** manager);
void FuzzSetImageFormat(SolvoImageBuffer* image, int format);
void FuzzSetFramePair(SolvoCoordinateFramePair* frames, int base_frame, int target_frame);
int FuzzFrameValue(SolvoCoordinateFrameType frame);

#ifdef __cplusplus
}
#endif

#endif /* SOLVO_FUZZ_C_CALLS_H_ */
