// Relative poses between the device's sensors, and camera poses in y-up world axes.
package org.solvo.support;

import java.util.Objects;

/**
 * Poses from the service: the pose of one sensor relative to another at two times, and a
 * camera pose re-expressed in the world axes an engine uses.
 */
public final class Poses {
  static {
    NativeLibrary.load();
  }

  /** The first sensor (camera) frame of the device. */
  public static final int FRAME_SENSOR_7 = 7;

  /** The second sensor (camera) frame of the device. */
  public static final int FRAME_SENSOR_8 = 8;

  /** The third sensor (camera) frame of the device. */
  public static final int FRAME_SENSOR_9 = 9;

  /**
   * Right-handed y-up world: world (x, y, z) = service (x, z, -y); the camera keeps its axes.
   */
  public static final int CONVENTION_RIGHT_HANDED_Y_UP = 0;

  /**
   * Left-handed y-up world: world (x, y, z) = service (x, z, y), and the camera's z axis points
   * backwards, out of the image.
   */
  public static final int CONVENTION_LEFT_HANDED_Y_UP = 1;

  private Poses() {}

  /**
   * Returns base_T_target: the pose of sensor {@code targetFrame} at {@code targetTimestamp} in
   * sensor {@code baseFrame} at {@code baseTimestamp}, chained from the service's pose queries
   * (both sensors' extrinsics and the device's motion at both times), rounded to single
   * precision. May be called from any thread the service's pose query may be called from.
   *
   * @param baseTimestamp seconds, at least 0
   * @param baseFrame {@link #FRAME_SENSOR_7}, {@link #FRAME_SENSOR_8} or {@link #FRAME_SENSOR_9}
   * @param targetTimestamp seconds, at least 0
   * @param targetFrame one of the same three frames
   * @throws IllegalArgumentException when the library refuses an argument (the message is its
   *     error line)
   * @throws SolvoSupportException when the service answered a query with no pose
   */
  public static Pose relativePose(
      double baseTimestamp, int baseFrame, double targetTimestamp, int targetFrame) {
    double[] out = new double[7];
    nativeRelativePose(baseTimestamp, baseFrame, targetTimestamp, targetFrame, out);
    return fromArray(out);
  }

  /**
   * Re-expresses {@code serviceTCamera}, a camera's pose in the service's z-up world, as the
   * camera's pose in the world and camera axes of {@code convention}.
   *
   * @param convention {@link #CONVENTION_RIGHT_HANDED_Y_UP} or {@link
   *     #CONVENTION_LEFT_HANDED_Y_UP}
   * @param serviceTCamera the camera's pose in the service's world
   * @return world_T_camera in the chosen axes
   * @throws IllegalArgumentException when the convention is neither of the two
   */
  public static Pose worldTCamera(int convention, Pose serviceTCamera) {
    Objects.requireNonNull(serviceTCamera, "serviceTCamera");
    if (convention != CONVENTION_RIGHT_HANDED_Y_UP && convention != CONVENTION_LEFT_HANDED_Y_UP) {
      throw new IllegalArgumentException("unknown convention " + convention);
    }
    double[] out = new double[7];
    nativeWorldTCamera(
        convention, serviceTCamera.translation(), serviceTCamera.orientation(), out);
    return fromArray(out);
  }

  /** Translation at 0 to 2, orientation at 3 to 6. */
  private static Pose fromArray(double[] out) {
    return new Pose(
        new double[] {out[0], out[1], out[2]}, new double[] {out[3], out[4], out[5], out[6]});
  }

  private static native void nativeRelativePose(
      double baseTimestamp, int baseFrame, double targetTimestamp, int targetFrame, double[] out);

  private static native void nativeWorldTCamera(
      int convention, double[] translation, double[] orientation, double[] out);
}
