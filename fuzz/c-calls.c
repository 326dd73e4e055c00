/* In C an int converts to an enumeration whatever its value: the calls applications can make. */
#include "c-calls.h"

SolvoErrorType FuzzGetWorldTCameraPose(int convention, const SolvoPoseData* pose,
                                       double* translation, double* orientation) {
  return SolvoSupport_getWorldTCameraPose(convention, pose, translation, orientation);
}

SolvoErrorType FuzzCalculateRelativePose(double base_timestamp, int base_frame,
                                         double target_timestamp, int target_frame,
                                         SolvoPoseData* base_frame_T_target_frame) {
  return SolvoSupport_calculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                            target_frame, base_frame_T_target_frame);
}

SolvoErrorType FuzzInternalCalculateRelativePose(double base_timestamp, int base_frame,
                                                 double target_timestamp, int target_frame,
                                                 SolvoPoseData* base_frame_T_target_frame,
                                                 FuzzPoseQuery pose_query) {
  return SolvoInternalSupport_calculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                                    target_frame, base_frame_T_target_frame,
                                                    pose_query);
}

SolvoErrorType FuzzCreateImageBufferManager(int format, int width, int height,
                                            SolvoSupportImageBufferManager** manager) {
  return SolvoSupport_createImageBufferManager(format, width, height, manager);
}

void FuzzSetImageFormat(SolvoImageBuffer* image, int format) { image->format = format; }

void FuzzSetFramePair(SolvoCoordinateFramePair* frames, int base_frame, int target_frame) {
  frames->base_frame = base_frame;
  frames->target_frame = target_frame;
}

int FuzzFrameValue(SolvoCoordinateFrameType frame) { return (int)frame; }
