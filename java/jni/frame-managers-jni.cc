// Native methods of org.solvo.support.ImageBufferManager and PointCloudManager: handles as Java
// longs, frames handed out as direct buffers over the managers' own memory.
#include <jni.h>

#include <cstdint>
#include <cstring>

#include "jni-support.h"
#include "solvo_support_api.h"

using solvo_support_jni::CloudOverBuffer;
using solvo_support_jni::Throw;
using solvo_support_jni::ThrowForStatus;

namespace {

SolvoSupportImageBufferManager* ImageManager(jlong handle) {
  return reinterpret_cast<SolvoSupportImageBufferManager*>(static_cast<intptr_t>(handle));
}

SolvoSupportPointCloudManager* CloudManager(jlong handle) {
  return reinterpret_cast<SolvoSupportPointCloudManager*>(static_cast<intptr_t>(handle));
}

template <typename Manager>
jlong Handle(Manager* manager) {
  return static_cast<jlong>(reinterpret_cast<intptr_t>(manager));
}

// A direct buffer over `bytes` bytes at `data`, or NULL (no exception) when there are none.
jobject BufferOver(JNIEnv* env, void* data, jlong bytes) {
  if (data == nullptr || bytes == 0) return nullptr;
  return env->NewDirectByteBuffer(data, bytes);
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_org_solvo_support_ImageBufferManager_nativeCreate(JNIEnv* env, jclass,
                                                                               jint format,
                                                                               jint width,
                                                                               jint height) {
  SolvoSupportImageBufferManager* manager = nullptr;
  const SolvoErrorType status = SolvoSupport_createImageBufferManager(
      static_cast<SolvoImageFormatType>(format), width, height, &manager);
  if (ThrowForStatus(env, status, "SolvoSupport_createImageBufferManager")) return 0;
  return Handle(manager);
}

JNIEXPORT void JNICALL Java_org_solvo_support_ImageBufferManager_nativeSetCopyRegion(
    JNIEnv* env, jclass, jlong manager, jboolean luminance_only, jint begin_line, jint end_line) {
  const SolvoErrorType status = SolvoSupport_setImageBufferCopyRegion(
      ImageManager(manager), luminance_only ? 1 : 0, static_cast<uint32_t>(begin_line),
      static_cast<uint32_t>(end_line));
  ThrowForStatus(env, status, "SolvoSupport_setImageBufferCopyRegion");
}

JNIEXPORT void JNICALL Java_org_solvo_support_ImageBufferManager_nativeUpdate(
    JNIEnv* env, jclass, jlong manager, jobject pixels, jint offset, jint width, jint height,
    jint format, jdouble timestamp) {
  auto* data = static_cast<uint8_t*>(env->GetDirectBufferAddress(pixels));
  if (data == nullptr && env->GetDirectBufferCapacity(pixels) != 0) {
    Throw(env, "java/lang/IllegalArgumentException", "the pixels are not in a direct buffer");
    return;
  }
  SolvoImageBuffer image;
  std::memset(&image, 0, sizeof image);
  image.width = static_cast<uint32_t>(width);
  image.height = static_cast<uint32_t>(height);
  image.format = static_cast<SolvoImageFormatType>(format);
  image.timestamp = timestamp;
  image.data = data == nullptr ? nullptr : data + offset;
  const SolvoErrorType status = SolvoSupport_updateImageBuffer(ImageManager(manager), &image);
  ThrowForStatus(env, status, "SolvoSupport_updateImageBuffer");
}

JNIEXPORT jobject JNICALL Java_org_solvo_support_ImageBufferManager_nativeGetLatest(
    JNIEnv* env, jclass, jlong manager, jint bytes, jdoubleArray timestamp_out) {
  SolvoImageBuffer* image = nullptr;
  const SolvoErrorType status = SolvoSupport_getLatestImageBuffer(ImageManager(manager), &image);
  if (ThrowForStatus(env, status, "SolvoSupport_getLatestImageBuffer")) return nullptr;
  env->SetDoubleArrayRegion(timestamp_out, 0, 1, &image->timestamp);
  return BufferOver(env, image->data, bytes);
}

JNIEXPORT void JNICALL Java_org_solvo_support_ImageBufferManager_nativeFree(JNIEnv* env, jclass,
                                                                            jlong manager) {
  ThrowForStatus(env, SolvoSupport_freeImageBufferManager(ImageManager(manager)),
                 "SolvoSupport_freeImageBufferManager");
}

JNIEXPORT jlong JNICALL Java_org_solvo_support_PointCloudManager_nativeCreate(JNIEnv* env, jclass,
                                                                              jint max_points) {
  SolvoSupportPointCloudManager* manager = nullptr;
  const SolvoErrorType status =
      SolvoSupport_createPointCloudManager(static_cast<uint32_t>(max_points), &manager);
  // This family writes no line, not even for memory it could not have, and the Java side
  // checked the count: FAILED here is memory.
  if (status == SOLVO_STATUS_FAILED) {
    Throw(env, "java/lang/OutOfMemoryError",
          "SolvoSupport_createPointCloudManager could not allocate memory.");
    return 0;
  }
  if (ThrowForStatus(env, status, "SolvoSupport_createPointCloudManager")) return 0;
  return Handle(manager);
}

JNIEXPORT void JNICALL Java_org_solvo_support_PointCloudManager_nativeUpdate(
    JNIEnv* env, jclass, jlong manager, jobject xyz, jint point_count, jdouble timestamp) {
  SolvoXYZij cloud;
  if (!CloudOverBuffer(env, xyz, point_count, timestamp, &cloud)) return;
  const SolvoErrorType status = SolvoSupport_updatePointCloud(CloudManager(manager), &cloud);
  ThrowForStatus(env, status, "SolvoSupport_updatePointCloud");
}

JNIEXPORT jobject JNICALL Java_org_solvo_support_PointCloudManager_nativeGetLatest(
    JNIEnv* env, jclass, jlong manager, jdoubleArray timestamp_out) {
  SolvoXYZij* cloud = nullptr;
  const SolvoErrorType status = SolvoSupport_getLatestPointCloud(CloudManager(manager), &cloud);
  if (ThrowForStatus(env, status, "SolvoSupport_getLatestPointCloud")) return nullptr;
  env->SetDoubleArrayRegion(timestamp_out, 0, 1, &cloud->timestamp);
  return BufferOver(env, cloud->xyz, static_cast<jlong>(cloud->point_count) * 12);
}

JNIEXPORT void JNICALL Java_org_solvo_support_PointCloudManager_nativeFree(JNIEnv*, jclass,
                                                                           jlong manager) {
  SolvoSupport_freePointCloudManager(CloudManager(manager));
}

}  // extern "C"
