// What every JNI file of the binding shares: the cached classes, statuses as Java exceptions,
// C strings as Java strings, and the C records built from Java values.
#ifndef SOLVO_SUPPORT_JNI_SUPPORT_H_
#define SOLVO_SUPPORT_JNI_SUPPORT_H_

#include <jni.h>

#include "solvo_support_api.h"

namespace solvo_support_jni {

// The virtual machine that loaded the binding; set once by JNI_OnLoad.
JavaVM* LoadedVm();

// The class org.solvo.support.Log and its static deliver(int, byte[], byte[]), looked up by
// JNI_OnLoad: the logging thread has no class loader of the application to find them with.
jclass LogClass();
jmethodID LogDeliverMethod();

// Throws the Java exception that stands for `status`, which the call `function` (its name)
// returned on this thread, and returns true; returns false for SOLVO_STATUS_OK.
//   SOLVO_STATUS_BAD_ARGUMENT  IllegalArgumentException, the library's error line as message;
//   SOLVO_STATUS_FAILED        OutOfMemoryError when the line says memory could not be had,
//                              else org.solvo.support.SolvoSupportException.
// Must run right after that call: the thread's last error text describes the latest call.
bool ThrowForStatus(JNIEnv* env, SolvoErrorType status, const char* function);

// Whether `text` is the library's line for memory it could not have (" could not allocate
// memory." at its end).
bool IsOutOfMemoryText(const char* text);

// Throws a new exception of the class `class_name` (such as "java/lang/IllegalStateException").
void Throw(JNIEnv* env, const char* class_name, const char* message);

// A Java string of the UTF-8 bytes `text` (malformed bytes become U+FFFD); NULL with an
// exception pending when it could not be made. JNI's own NewStringUTF reads modified UTF-8
// and would misread a line that quotes an application's text.
jstring NewJavaString(JNIEnv* env, const char* text);

// A point cloud record over a Java direct buffer, built on the caller's stack for one call:
// the library reads the buffer's memory in place. Returns false with IllegalArgumentException
// pending when `xyz` is not a direct buffer of room for `point_count` points.
bool CloudOverBuffer(JNIEnv* env, jobject xyz, jint point_count, jdouble timestamp,
                     SolvoXYZij* cloud);

// The intrinsics record of the colour camera, the service's words and distortion zero.
SolvoCameraIntrinsics MakeIntrinsics(jint width, jint height, jdouble fx, jdouble fy, jdouble cx,
                                     jdouble cy);

}  // namespace solvo_support_jni

#endif  // SOLVO_SUPPORT_JNI_SUPPORT_H_
