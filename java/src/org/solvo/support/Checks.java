// Argument checks the binding makes in Java, before any native call.
package org.solvo.support;

import java.nio.charset.StandardCharsets;
import java.util.Objects;

/** Checks shared by the package's classes; each throws before the library is called. */
final class Checks {
  private Checks() {}

  /** Returns {@code array}, refusing null and any length but {@code length}. */
  static double[] length(double[] array, int length, String name) {
    Objects.requireNonNull(array, name);
    if (array.length != length) {
      throw new IllegalArgumentException(
          name + " must hold " + length + " values, not " + array.length);
    }
    return array;
  }

  /** Refuses an array whose length is not a multiple of {@code group}. */
  static void groups(int length, int group, String name) {
    if (length % group != 0) {
      throw new IllegalArgumentException(
          name + " must hold " + group + " values per element, not " + length + " in all");
    }
  }

  /**
   * The UTF-8 bytes of {@code text} for a C string. A NUL inside would end the C string early
   * and the library would see another text, so it is refused.
   */
  static byte[] cString(String text, String name) {
    Objects.requireNonNull(text, name);
    if (text.indexOf('\0') >= 0) {
      throw new IllegalArgumentException(name + " contains a NUL character");
    }
    return text.getBytes(StandardCharsets.UTF_8);
  }
}
