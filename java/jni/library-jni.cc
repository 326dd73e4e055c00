// Native methods of org.solvo.support.Log, TuningFlags and Version: the log receiver on the
// library's logging thread, the tuning flags by name, and the version texts.
#include <jni.h>

#include <atomic>
#include <cstring>
#include <string>

#include "jni-support.h"
#include "solvo_support_api.h"

namespace {

using solvo_support_jni::NewJavaString;
using solvo_support_jni::ThrowForStatus;

constexpr jint kJniVersion = JNI_VERSION_1_6;

// Set by the virtual machine's shutdown: no line is delivered into a stopping machine.
std::atomic<bool> shut_down{false};

// A Java byte[] of `text`'s bytes, without its terminating zero; NULL when Java had no memory.
jbyteArray BytesOf(JNIEnv* env, const char* text) {
  const auto length = static_cast<jsize>(std::strlen(text));
  jbyteArray bytes = env->NewByteArray(length);
  if (bytes != nullptr) {
    env->SetByteArrayRegion(bytes, 0, length, reinterpret_cast<const jbyte*>(text));
  }
  return bytes;
}

// The C string of a Java byte[] that the Java side checked holds no zero.
std::string StringOf(JNIEnv* env, jbyteArray bytes) {
  std::string text(static_cast<size_t>(env->GetArrayLength(bytes)), '\0');
  env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(text.size()),
                          reinterpret_cast<jbyte*>(&text[0]));
  return text;
}

// Runs on the library's logging thread (or, when it cannot start, on the thread that wrote the
// line). That thread is attached to the virtual machine as a daemon the first time, and never
// detached: it lives as long as the process, and a daemon does not hold up the machine's exit.
void DeliverLine(int priority, const char* tag, const char* text, void*) {
  if (shut_down.load()) return;
  JavaVM* vm = solvo_support_jni::LoadedVm();
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), kJniVersion) == JNI_EDETACHED) {
    char name[] = "solvo-support-log";
    JavaVMAttachArgs arguments{kJniVersion, name, nullptr};
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &arguments) != JNI_OK) {
      return;
    }
  }
  // A Java thread whose native call has an exception pending may make no Java call: the line
  // still reaches the Android log.
  if (env == nullptr || env->ExceptionCheck()) return;
  // The logging thread never returns to Java: its local references are freed here.
  if (env->PushLocalFrame(4) != JNI_OK) {
    env->ExceptionClear();
    return;
  }
  jbyteArray tag_bytes = BytesOf(env, tag);
  jbyteArray text_bytes = tag_bytes == nullptr ? nullptr : BytesOf(env, text);
  if (text_bytes != nullptr) {
    env->CallStaticVoidMethod(solvo_support_jni::LogClass(), solvo_support_jni::LogDeliverMethod(),
                              static_cast<jint>(priority), tag_bytes, text_bytes);
  }
  // The listener's exception has no caller to go to: dropped, as Log documents.
  env->ExceptionClear();
  env->PopLocalFrame(nullptr);
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_org_solvo_support_Log_nativeInstall(JNIEnv*, jclass) {
  if (shut_down.load()) return;
  SolvoSupport_setLogCallback(DeliverLine, nullptr);
}

JNIEXPORT void JNICALL Java_org_solvo_support_Log_nativeUninstall(JNIEnv*, jclass) {
  shut_down.store(true);
  SolvoSupport_setLogCallback(nullptr, nullptr);
}

JNIEXPORT void JNICALL Java_org_solvo_support_Log_nativeFlush(JNIEnv*, jclass) {
  SolvoSupport_flushLog();
}

JNIEXPORT void JNICALL Java_org_solvo_support_TuningFlags_nativeSet(JNIEnv* env, jclass,
                                                                    jbyteArray name,
                                                                    jbyteArray value) {
  const std::string name_text = StringOf(env, name);
  const std::string value_text = StringOf(env, value);
  ThrowForStatus(env, SolvoSupport_setTuningFlag(name_text.c_str(), value_text.c_str()),
                 "SolvoSupport_setTuningFlag");
}

JNIEXPORT jstring JNICALL Java_org_solvo_support_TuningFlags_nativeGet(JNIEnv* env, jclass,
                                                                       jbyteArray name) {
  const std::string name_text = StringOf(env, name);
  char value[64];
  if (ThrowForStatus(env, SolvoSupport_getTuningFlag(name_text.c_str(), value, sizeof value),
                     "SolvoSupport_getTuningFlag")) {
    return nullptr;
  }
  return NewJavaString(env, value);
}

JNIEXPORT jstring JNICALL Java_org_solvo_support_Version_nativeString(JNIEnv* env, jclass) {
  return NewJavaString(env, SolvoSupport_getVersionString());
}

JNIEXPORT jintArray JNICALL Java_org_solvo_support_Version_nativeHeaderVersion(JNIEnv* env,
                                                                               jclass) {
  const jint version[3] = {SOLVO_SUPPORT_VERSION_MAJOR, SOLVO_SUPPORT_VERSION_MINOR,
                           SOLVO_SUPPORT_VERSION_PATCH};
  jintArray array = env->NewIntArray(3);
  if (array != nullptr) env->SetIntArrayRegion(array, 0, 3, version);
  return array;
}

}  // extern "C"
