// The version of the library loaded, and that of the headers the binding was built with.
package org.solvo.support;

/** Versions of the library. */
public final class Version {
  static {
    NativeLibrary.load();
  }

  private static final int[] HEADERS = nativeHeaderVersion();

  private Version() {}

  /** Returns the version of the library loaded, "MAJOR.MINOR.PATCH". */
  public static String string() {
    return nativeString();
  }

  /** Returns the major version of the headers the binding was built with. */
  public static int major() {
    return HEADERS[0];
  }

  /** Returns the minor version of the headers the binding was built with. */
  public static int minor() {
    return HEADERS[1];
  }

  /** Returns the patch version of the headers the binding was built with. */
  public static int patch() {
    return HEADERS[2];
  }

  private static native String nativeString();

  private static native int[] nativeHeaderVersion();
}
