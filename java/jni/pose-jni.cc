// Native methods of org.solvo.support.Poses: the relative pose between two sensors and a camera
// pose in y-up world axes.
#include <jni.h>

#include <cstring>

#include "jni-support.h"
#include "solvo_support_api.h"

using solvo_support_jni::ThrowForStatus;

namespace {

// Writes translation then orientation into the Java array of seven.
void WritePose(JNIEnv* env, const double* translation, const double* orientation,
               jdoubleArray out) {
  env->SetDoubleArrayRegion(out, 0, 3, translation);
  env->SetDoubleArrayRegion(out, 3, 4, orientation);
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_org_solvo_support_Poses_nativeRelativePose(
    JNIEnv* env, jclass, jdouble base_timestamp, jint base_frame, jdouble target_timestamp,
    jint target_frame, jdoubleArray out) {
  SolvoPoseData base_T_target;
  std::memset(&base_T_target, 0, sizeof base_T_target);
  const SolvoErrorType status = SolvoSupport_calculateRelativePose(
      base_timestamp, static_cast<SolvoCoordinateFrameType>(base_frame), target_timestamp,
      static_cast<SolvoCoordinateFrameType>(target_frame), &base_T_target);
  if (ThrowForStatus(env, status, "SolvoSupport_calculateRelativePose")) return;
  WritePose(env, base_T_target.translation, base_T_target.orientation, out);
}

JNIEXPORT void JNICALL Java_org_solvo_support_Poses_nativeWorldTCamera(JNIEnv* env, jclass,
                                                                       jint convention,
                                                                       jdoubleArray translation,
                                                                       jdoubleArray orientation,
                                                                       jdoubleArray out) {
  SolvoPoseData service_T_camera;
  std::memset(&service_T_camera, 0, sizeof service_T_camera);
  env->GetDoubleArrayRegion(translation, 0, 3, service_T_camera.translation);
  env->GetDoubleArrayRegion(orientation, 0, 4, service_T_camera.orientation);
  double world_translation[3];
  double world_orientation[4];
  const SolvoErrorType status =
      SolvoSupport_getWorldTCameraPose(static_cast<SolvoCoordinateConvention>(convention),
                                       &service_T_camera, world_translation, world_orientation);
  if (ThrowForStatus(env, status, "SolvoSupport_getWorldTCameraPose")) return;
  WritePose(env, world_translation, world_orientation, out);
}

}  // extern "C"
