// A rigid transform as a translation and a unit quaternion, with its 4x4 matrix.
package org.solvo.support;

/**
 * The pose of a target frame in a base frame, base_T_target: a point p given in the target
 * frame is at R p + t in the base frame, R being the rotation of the unit quaternion {@link
 * #orientation()} (x, y, z, w, w last) and t the {@link #translation()} in metres, the target
 * frame's origin in the base frame. Immutable.
 */
public final class Pose {
  private final double[] translation;
  private final double[] orientation;

  /**
   * Creates a pose.
   *
   * @param translation x, y, z in metres
   * @param orientation a unit quaternion x, y, z, w
   * @throws IllegalArgumentException when an array has another length
   */
  public Pose(double[] translation, double[] orientation) {
    this.translation = Checks.length(translation, 3, "translation").clone();
    this.orientation = Checks.length(orientation, 4, "orientation").clone();
  }

  /** Returns x, y, z of the target frame's origin in the base frame, in metres (a new array). */
  public double[] translation() {
    return translation.clone();
  }

  /** Returns the rotation as a unit quaternion x, y, z, w (a new array). */
  public double[] orientation() {
    return orientation.clone();
  }

  /**
   * Returns the pose as 16 doubles in column-major order (row r, column c at index 4c + r), the
   * translation at indices 12, 13 and 14: the form {@link Geometry} takes its transforms in.
   */
  public double[] toMatrix() {
    double x = orientation[0];
    double y = orientation[1];
    double z = orientation[2];
    double w = orientation[3];
    return new double[] {
      1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
      2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
      2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
      translation[0], translation[1], translation[2], 1
    };
  }
}
