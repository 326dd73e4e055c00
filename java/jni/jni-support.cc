// The binding's shared JNI helpers and its load hook, which caches the classes it needs.
#include "jni-support.h"

#include <cstring>
#include <string>

namespace solvo_support_jni {
namespace {

constexpr jint kJniVersion = JNI_VERSION_1_6;
constexpr char kOutOfMemorySuffix[] = " could not allocate memory.";

JavaVM* loaded_vm = nullptr;
jclass log_class = nullptr;
jmethodID log_deliver = nullptr;
jclass string_class = nullptr;
jmethodID string_from_bytes = nullptr;
jstring utf8_name = nullptr;
jclass support_exception_class = nullptr;
jmethodID support_exception_init = nullptr;

// A global reference to the class `name`; NULL with an exception pending when it is missing.
jclass GlobalClass(JNIEnv* env, const char* name) {
  jclass local = env->FindClass(name);
  if (local == nullptr) return nullptr;
  auto global = static_cast<jclass>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  return global;
}

}  // namespace

JavaVM* LoadedVm() { return loaded_vm; }
jclass LogClass() { return log_class; }
jmethodID LogDeliverMethod() { return log_deliver; }

bool IsOutOfMemoryText(const char* text) {
  const size_t length = std::strlen(text);
  const size_t suffix = sizeof kOutOfMemorySuffix - 1;
  return length >= suffix && std::strcmp(text + length - suffix, kOutOfMemorySuffix) == 0;
}

void Throw(JNIEnv* env, const char* class_name, const char* message) {
  jclass exception_class = env->FindClass(class_name);
  if (exception_class == nullptr) return;  // NoClassDefFoundError is pending instead
  env->ThrowNew(exception_class, message);
  env->DeleteLocalRef(exception_class);
}

bool ThrowForStatus(JNIEnv* env, SolvoErrorType status, const char* function) {
  if (status == SOLVO_STATUS_OK) return false;
  // Copied first: any later library call, the status text's included, clears it.
  std::string text = SolvoSupport_getLastErrorText();
  if (text.empty()) {
    // The point cloud manager refuses without a line: name the call instead.
    text = std::string(function) + ": " + SolvoSupport_getStatusString(status);
  }
  if (status == SOLVO_STATUS_BAD_ARGUMENT) {
    jstring message = NewJavaString(env, text.c_str());
    if (message == nullptr) return true;
    jclass exception_class = env->FindClass("java/lang/IllegalArgumentException");
    if (exception_class == nullptr) return true;
    jmethodID init = env->GetMethodID(exception_class, "<init>", "(Ljava/lang/String;)V");
    if (init == nullptr) return true;
    auto exception = static_cast<jthrowable>(env->NewObject(exception_class, init, message));
    if (exception != nullptr) env->Throw(exception);
    return true;
  }
  if (IsOutOfMemoryText(text.c_str())) {
    // Made without a Java string: memory may well be short on the Java side too.
    Throw(env, "java/lang/OutOfMemoryError", text.c_str());
    return true;
  }
  jstring message = NewJavaString(env, text.c_str());
  if (message == nullptr) return true;
  auto exception = static_cast<jthrowable>(env->NewObject(
      support_exception_class, support_exception_init, static_cast<jint>(status), message));
  if (exception != nullptr) env->Throw(exception);
  return true;
}

jstring NewJavaString(JNIEnv* env, const char* text) {
  const auto length = static_cast<jsize>(std::strlen(text));
  jbyteArray bytes = env->NewByteArray(length);
  if (bytes == nullptr) return nullptr;
  env->SetByteArrayRegion(bytes, 0, length, reinterpret_cast<const jbyte*>(text));
  auto string =
      static_cast<jstring>(env->NewObject(string_class, string_from_bytes, bytes, utf8_name));
  env->DeleteLocalRef(bytes);
  return string;
}

bool CloudOverBuffer(JNIEnv* env, jobject xyz, jint point_count, jdouble timestamp,
                     SolvoXYZij* cloud) {
  void* address = env->GetDirectBufferAddress(xyz);
  const jlong capacity = env->GetDirectBufferCapacity(xyz);
  if (address == nullptr && capacity != 0) {
    Throw(env, "java/lang/IllegalArgumentException", "the points are not in a direct buffer");
    return false;
  }
  if (point_count < 0 || static_cast<jlong>(point_count) * 12 > capacity) {
    Throw(env, "java/lang/IllegalArgumentException", "the buffer holds fewer points than counted");
    return false;
  }
  std::memset(cloud, 0, sizeof *cloud);
  cloud->timestamp = timestamp;
  cloud->point_count = static_cast<uint32_t>(point_count);
  cloud->xyz = static_cast<float(*)[3]>(address);
  return true;
}

SolvoCameraIntrinsics MakeIntrinsics(jint width, jint height, jdouble fx, jdouble fy, jdouble cx,
                                     jdouble cy) {
  SolvoCameraIntrinsics intrinsics;
  std::memset(&intrinsics, 0, sizeof intrinsics);
  intrinsics.width = static_cast<uint32_t>(width);
  intrinsics.height = static_cast<uint32_t>(height);
  intrinsics.fx = fx;
  intrinsics.fy = fy;
  intrinsics.cx = cx;
  intrinsics.cy = cy;
  return intrinsics;
}

}  // namespace solvo_support_jni

using namespace solvo_support_jni;

extern "C" JNIEXPORT jint JNI_OnLoad(JavaVM* vm, void*) {
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), kJniVersion) != JNI_OK) return JNI_ERR;
  loaded_vm = vm;
  log_class = GlobalClass(env, "org/solvo/support/Log");
  if (log_class == nullptr) return JNI_ERR;
  log_deliver = env->GetStaticMethodID(log_class, "deliver", "(I[B[B)V");
  string_class = GlobalClass(env, "java/lang/String");
  if (log_deliver == nullptr || string_class == nullptr) return JNI_ERR;
  string_from_bytes = env->GetMethodID(string_class, "<init>", "([BLjava/lang/String;)V");
  jstring name = env->NewStringUTF("UTF-8");
  if (string_from_bytes == nullptr || name == nullptr) return JNI_ERR;
  utf8_name = static_cast<jstring>(env->NewGlobalRef(name));
  support_exception_class = GlobalClass(env, "org/solvo/support/SolvoSupportException");
  if (support_exception_class == nullptr) return JNI_ERR;
  support_exception_init =
      env->GetMethodID(support_exception_class, "<init>", "(ILjava/lang/String;)V");
  if (support_exception_init == nullptr) return JNI_ERR;
  return kJniVersion;
}
