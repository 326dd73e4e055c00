// The colour camera's calibration: image size, focal lengths and principal point.
package org.solvo.support;

/**
 * The calibration of the colour camera: a camera point (x, y, z) projects to the pixel
 * coordinates (fx * x / z + cx, fy * y / z + cy), without lens distortion. Immutable.
 */
public final class CameraIntrinsics {
  private final int width;
  private final int height;
  private final double fx;
  private final double fy;
  private final double cx;
  private final double cy;

  /**
   * Creates a calibration.
   *
   * @param width the image width in pixels, at least 0
   * @param height the image height in pixels, at least 0
   * @param fx the horizontal focal length in pixels
   * @param fy the vertical focal length in pixels
   * @param cx the principal point's column in pixels
   * @param cy the principal point's row in pixels
   * @throws IllegalArgumentException when the width or height is negative
   */
  public CameraIntrinsics(int width, int height, double fx, double fy, double cx, double cy) {
    if (width < 0 || height < 0) {
      throw new IllegalArgumentException(
          "image size must not be negative: " + width + " x " + height);
    }
    this.width = width;
    this.height = height;
    this.fx = fx;
    this.fy = fy;
    this.cx = cx;
    this.cy = cy;
  }

  /** Returns the image width in pixels. */
  public int width() {
    return width;
  }

  /** Returns the image height in pixels. */
  public int height() {
    return height;
  }

  /** Returns the horizontal focal length in pixels. */
  public double fx() {
    return fx;
  }

  /** Returns the vertical focal length in pixels. */
  public double fy() {
    return fy;
  }

  /** Returns the principal point's column in pixels. */
  public double cx() {
    return cx;
  }

  /** Returns the principal point's row in pixels. */
  public double cy() {
    return cy;
  }
}
