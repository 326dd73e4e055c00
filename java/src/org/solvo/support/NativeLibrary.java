// Loads libsolvo_support_jni once, for every class of the package that calls into it.
package org.solvo.support;

/** Loads the binding's native library; every class with native methods calls {@link #load}. */
final class NativeLibrary {
  static {
    System.loadLibrary("solvo_support_jni");
  }

  private NativeLibrary() {}

  /** Runs the static initializer above once; later calls do nothing. */
  static void load() {}
}
