/* In C an int converts to an enumeration whatever its value; C++ may not even hold such a value. */
#include "test-support/c-application-calls.h"

SolvoErrorType CallGetWorldTCameraPose(int convention, const SolvoPoseData* pose,
                                       double* translation, double* orientation) {
  return SolvoSupport_getWorldTCameraPose(convention, pose, translation, orientation);
}

SolvoErrorType CallCalculateRelativePose(double base_timestamp, int base_frame,
                                         double target_timestamp, int target_frame,
                                         SolvoPoseData* base_frame_T_target_frame) {
  return SolvoSupport_calculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                            target_frame, base_frame_T_target_frame);
}

SolvoErrorType CallInternalCalculateRelativePose(
    double base_timestamp, int base_frame, double target_timestamp, int target_frame,
    SolvoPoseData* base_frame_T_target_frame,
    SolvoErrorType (*pose_query)(double, SolvoCoordinateFramePair, SolvoPoseData*)) {
  return SolvoInternalSupport_calculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                                    target_frame, base_frame_T_target_frame,
                                                    pose_query);
}

SolvoErrorType CallCreateImageBufferManager(int format, int width, int height,
                                            SolvoSupportImageBufferManager** manager) {
  return SolvoSupport_createImageBufferManager(format, width, height, manager);
}

void SetImageFormat(SolvoImageBuffer* image, int format) { image->format = format; }

const char* CallGetStatusString(int status) { return SolvoSupport_getStatusString(status); }
