// Native methods of org.solvo.support.Geometry: the depth under a pixel and the plane under a
// touch, over the Java cloud's own memory.
#include <jni.h>

#include "jni-support.h"
#include "solvo_support_api.h"

using solvo_support_jni::CloudOverBuffer;
using solvo_support_jni::MakeIntrinsics;
using solvo_support_jni::ThrowForStatus;

extern "C" {

JNIEXPORT jboolean JNICALL Java_org_solvo_support_Geometry_nativeDepthAtPoint(
    JNIEnv* env, jclass, jobject xyz, jint point_count, jdouble timestamp, jint width, jint height,
    jdouble fx, jdouble fy, jdouble cx, jdouble cy, jdoubleArray transform, jfloat u, jfloat v,
    jfloatArray point_out) {
  SolvoXYZij cloud;
  if (!CloudOverBuffer(env, xyz, point_count, timestamp, &cloud)) return JNI_FALSE;
  const SolvoCameraIntrinsics intrinsics = MakeIntrinsics(width, height, fx, fy, cx, cy);
  double color_camera_T_point_cloud[16];
  env->GetDoubleArrayRegion(transform, 0, 16, color_camera_T_point_cloud);
  const float uv[2] = {u, v};
  float point[3];
  int found = 0;
  const SolvoErrorType status = SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
      &cloud, &intrinsics, color_camera_T_point_cloud, uv, point, &found);
  if (ThrowForStatus(env, status, "SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform")) {
    return JNI_FALSE;
  }
  if (!found) return JNI_FALSE;
  env->SetFloatArrayRegion(point_out, 0, 3, point);
  return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_org_solvo_support_Geometry_nativePlaneUnderTouch(
    JNIEnv* env, jclass, jobject xyz, jint point_count, jdouble timestamp, jint width, jint height,
    jdouble fx, jdouble fy, jdouble cx, jdouble cy, jdoubleArray transform, jfloat u, jfloat v,
    jdoubleArray point_out, jdoubleArray plane_out) {
  SolvoXYZij cloud;
  if (!CloudOverBuffer(env, xyz, point_count, timestamp, &cloud)) return JNI_FALSE;
  const SolvoCameraIntrinsics intrinsics = MakeIntrinsics(width, height, fx, fy, cx, cy);
  double color_camera_T_point_cloud[16];
  env->GetDoubleArrayRegion(transform, 0, 16, color_camera_T_point_cloud);
  const float uv[2] = {u, v};
  double point[3];
  double plane[4];
  const SolvoErrorType status = SolvoSupport_fitPlaneModelNearClickMatrixTransform(
      &cloud, &intrinsics, color_camera_T_point_cloud, uv, point, plane);
  // No plane under the touch is an ordinary answer; memory that ran out is not.
  if (status == SOLVO_STATUS_FAILED &&
      !solvo_support_jni::IsOutOfMemoryText(SolvoSupport_getLastErrorText())) {
    return JNI_FALSE;
  }
  if (ThrowForStatus(env, status, "SolvoSupport_fitPlaneModelNearClickMatrixTransform")) {
    return JNI_FALSE;
  }
  env->SetDoubleArrayRegion(point_out, 0, 3, point);
  env->SetDoubleArrayRegion(plane_out, 0, 4, plane);
  return JNI_TRUE;
}

}  // extern "C"
