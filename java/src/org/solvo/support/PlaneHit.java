// The plane under a touch and the point where the touch ray meets it.
package org.solvo.support;

/** The answer of {@link Geometry#planeUnderTouch}: a plane and a point on it. Immutable. */
public final class PlaneHit {
  private final double[] point;
  private final double[] plane;

  PlaneHit(double[] point, double[] plane) {
    this.point = point;
    this.plane = plane;
  }

  /** Returns x, y, z of the point where the touch ray meets the plane (a new array). */
  public double[] point() {
    return point.clone();
  }

  /**
   * Returns the plane's a, b, c, d (a new array), with a * x + b * y + c * z + d = 0, a unit
   * normal (a, b, c) facing the camera.
   */
  public double[] plane() {
    return plane.clone();
  }
}
