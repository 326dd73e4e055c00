// The library's seven process-wide tuning values, set and read by name.
package org.solvo.support;

/**
 * The library's tuning flags: process-wide values read by the calls that use them each time
 * they run. Set them at start-up: setting a flag while another thread runs a library call is a
 * race the application must avoid. Values are text as the flags library parses it (booleans as
 * true/false, 1/0, yes/no; integers in decimal or after "0x"; numbers as C's strtod reads
 * them).
 */
public final class TuningFlags {
  static {
    NativeLibrary.load();
  }

  /** Boolean, true: seed each plane fit's random generator from the clock. */
  public static final String RANDOM_GENERATOR_USE_RANDOM_SEED = "random_generator_use_random_seed";

  /** 32-bit integer, 1: the seed used when the clock is not; equal seeds give equal planes. */
  public static final String RANDOM_GENERATOR_SEED = "random_generator_seed";

  /** 32-bit integer, 32: read by nothing. */
  public static final String MERGE_VERTICES_K_NEIGHBORS = "merge_vertices_k_neighbors";

  /** Number, 0.999: no simplification leaves a corner whose cosine is above this. */
  public static final String MAX_MESH_ANGLE_COS = "max_mesh_angle_cos";

  /** Number, 0.1: the factor of an edge's length added to the cost of collapsing it. */
  public static final String MESH_EDGE_LENGTH_WEIGHT = "mesh_edge_length_weight";

  /** Number, 1000000: the weight of a forbidden collapse; one this heavy is never made. */
  public static final String MESH_MAX_ANGLE_NORMAL_WEIGHT = "mesh_max_angle_normal_weight";

  /** Number, -0.999: no simplification turns a triangle's normal further than this cosine. */
  public static final String MIN_MESH_NORMAL_FLIP_COS = "min_mesh_normal_flip_cos";

  private TuningFlags() {}

  /**
   * Sets the flag {@code name} to {@code value}.
   *
   * @param name one of the seven names, such as {@link #RANDOM_GENERATOR_SEED}
   * @param value the value as text
   * @throws IllegalArgumentException when the name is unknown or the value is not one the flag
   *     accepts (the message is the library's error line), or either contains a NUL character
   */
  public static void set(String name, String value) {
    nativeSet(Checks.cString(name, "name"), Checks.cString(value, "value"));
  }

  /**
   * Returns the value in force of the flag {@code name}, as the flags library prints it
   * ("true", "1", "0.10000000000000001").
   *
   * @param name one of the seven names
   * @throws IllegalArgumentException when the name is unknown (the message is the library's
   *     error line) or contains a NUL character
   */
  public static String get(String name) {
    return nativeGet(Checks.cString(name, "name"));
  }

  private static native void nativeSet(byte[] name, byte[] value);

  private static native String nativeGet(byte[] name);
}
