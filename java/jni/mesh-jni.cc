// Native method of org.solvo.support.MeshSimplifier: a simplification whose progress reaches a
// Java listener on the calling thread.
#include <jni.h>

#include <cstdint>

#include "jni-support.h"
#include "solvo_support_api.h"

namespace {

using solvo_support_jni::Throw;
using solvo_support_jni::ThrowForStatus;

// What the progress callback needs, on the stack of the native call that runs it.
struct Progress {
  JNIEnv* env;
  jobject listener;
  jmethodID on_progress;
  bool cancelled;  // the listener answered false
  bool threw;      // the listener threw: its exception is pending
};

int OnProgress(float fraction_done, void* user_data) {
  auto* progress = static_cast<Progress*>(user_data);
  const jboolean go_on = progress->env->CallBooleanMethod(progress->listener, progress->on_progress,
                                                          static_cast<jdouble>(fraction_done));
  if (progress->env->ExceptionCheck()) {
    progress->threw = true;
    return 1;
  }
  if (!go_on) {
    progress->cancelled = true;
    return 1;
  }
  return 0;
}

// Frees both records when the native call ends, whichever way.
struct MeshPair {
  SolvoMesh_Experimental input{};
  SolvoMesh_Experimental output{};
  ~MeshPair() {
    SolvoSupport_freeMesh(&input);
    SolvoSupport_freeMesh(&output);
  }
};

// The output's arrays as {float[] vertices, int[] faces, float[] or null normals, byte[] or null
// colors}; NULL with an exception pending when Java could not hold them.
jobjectArray ToJavaArrays(JNIEnv* env, const SolvoMesh_Experimental& mesh) {
  // Three values per vertex and face must fit a Java array's int length.
  if (mesh.num_vertices > INT32_MAX / 4 || mesh.num_faces > INT32_MAX / 3) {
    Throw(env, "java/lang/OutOfMemoryError", "the simplified mesh does not fit Java arrays");
    return nullptr;
  }
  const auto vertex_values = static_cast<jsize>(mesh.num_vertices * 3);
  const auto face_values = static_cast<jsize>(mesh.num_faces * 3);
  jclass object_class = env->FindClass("java/lang/Object");
  if (object_class == nullptr) return nullptr;
  jobjectArray arrays = env->NewObjectArray(4, object_class, nullptr);
  if (arrays == nullptr) return nullptr;

  jfloatArray vertices = env->NewFloatArray(vertex_values);
  if (vertices == nullptr) return nullptr;
  if (vertex_values > 0) {
    env->SetFloatArrayRegion(vertices, 0, vertex_values, &mesh.vertices[0][0]);
  }
  env->SetObjectArrayElement(arrays, 0, vertices);

  jintArray faces = env->NewIntArray(face_values);
  if (faces == nullptr) return nullptr;
  if (face_values > 0) {
    env->SetIntArrayRegion(faces, 0, face_values, reinterpret_cast<const jint*>(mesh.faces[0]));
  }
  env->SetObjectArrayElement(arrays, 1, faces);

  if (mesh.has_normals) {
    jfloatArray normals = env->NewFloatArray(vertex_values);
    if (normals == nullptr) return nullptr;
    if (vertex_values > 0) {
      env->SetFloatArrayRegion(normals, 0, vertex_values, &mesh.normals[0][0]);
    }
    env->SetObjectArrayElement(arrays, 2, normals);
  }
  if (mesh.has_colors) {
    const auto color_values = static_cast<jsize>(mesh.num_vertices * 4);
    jbyteArray colors = env->NewByteArray(color_values);
    if (colors == nullptr) return nullptr;
    if (color_values > 0) {
      env->SetByteArrayRegion(colors, 0, color_values,
                              reinterpret_cast<const jbyte*>(mesh.colors[0]));
    }
    env->SetObjectArrayElement(arrays, 3, colors);
  }
  return arrays;
}

}  // namespace

extern "C" JNIEXPORT jobjectArray JNICALL Java_org_solvo_support_MeshSimplifier_nativeSimplify(
    JNIEnv* env, jclass, jfloatArray vertices, jintArray faces, jfloatArray normals,
    jbyteArray colors, jint target_faces, jobject listener) {
  // The Java side checked the lengths: three values per vertex and face, normals and colours
  // matching the vertices.
  const jsize vertex_values = env->GetArrayLength(vertices);
  const jsize face_values = env->GetArrayLength(faces);
  MeshPair meshes;
  const SolvoErrorType created = SolvoSupport_createMesh(
      static_cast<uint32_t>(vertex_values / 3), static_cast<uint32_t>(face_values / 3),
      normals != nullptr, colors != nullptr, &meshes.input);
  if (ThrowForStatus(env, created, "SolvoSupport_createMesh")) return nullptr;
  // The Java arrays are copied: the listener runs Java code during the work, which rules out
  // holding them pinned.
  if (vertex_values > 0) {
    env->GetFloatArrayRegion(vertices, 0, vertex_values, &meshes.input.vertices[0][0]);
    if (normals != nullptr) {
      env->GetFloatArrayRegion(normals, 0, vertex_values, &meshes.input.normals[0][0]);
    }
    if (colors != nullptr) {
      env->GetByteArrayRegion(colors, 0, vertex_values / 3 * 4,
                              reinterpret_cast<jbyte*>(meshes.input.colors[0]));
    }
  }
  if (face_values > 0) {
    env->GetIntArrayRegion(faces, 0, face_values, reinterpret_cast<jint*>(meshes.input.faces[0]));
  }

  Progress progress{env, listener, nullptr, false, false};
  if (listener != nullptr) {
    jclass listener_class = env->GetObjectClass(listener);
    progress.on_progress = env->GetMethodID(listener_class, "onProgress", "(D)Z");
    if (progress.on_progress == nullptr) return nullptr;
  }
  const SolvoErrorType status = SolvoSupport_createSimplifiedMeshWithProgress(
      &meshes.input, static_cast<uint32_t>(target_faces), &meshes.output,
      listener != nullptr ? OnProgress : nullptr, &progress);
  // The listener's exception is pending: it reaches the caller as it is.
  if (progress.threw) return nullptr;
  if (progress.cancelled) {
    Throw(env, "java/util/concurrent/CancellationException", "the progress listener cancelled");
    return nullptr;
  }
  if (ThrowForStatus(env, status, "SolvoSupport_createSimplifiedMeshWithProgress")) {
    return nullptr;
  }
  return ToJavaArrays(env, meshes.output);
}
