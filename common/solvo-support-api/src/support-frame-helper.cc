// Exported pose functions: world-to-camera poses in a convention, relative poses between frames.
#include "solvo_support_api.h"

extern "C" {

// TODO(#4): conventions and relative poses.
SolvoErrorType SolvoSupport_getWorldTCameraPose(SolvoCoordinateConvention, const SolvoPoseData*,
                                                double*, double*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoInternalSupport_calculateRelativePose(
    double, SolvoCoordinateFrameType, double, SolvoCoordinateFrameType, SolvoPoseData*,
    SolvoErrorType (*)(double, SolvoCoordinateFramePair, SolvoPoseData*)) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_calculateRelativePose(double base_timestamp,
                                                  SolvoCoordinateFrameType base_frame,
                                                  double target_timestamp,
                                                  SolvoCoordinateFrameType target_frame,
                                                  SolvoPoseData* base_frame_T_target_frame) {
  return SolvoInternalSupport_calculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                                    target_frame, base_frame_T_target_frame,
                                                    SolvoService_getPoseAtTime);
}

}  // extern "C"
