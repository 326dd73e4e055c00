// The depth under a pixel and the plane under a touch, over a point cloud read in place.
package org.solvo.support;

import java.util.Objects;

/**
 * Geometry of a depth point cloud seen by the colour camera.
 *
 * <p>An image position (u, v) is given as fractions of the image's width and height: it stands
 * for the pixel coordinates (u * width, v * height). Transforms are 16 doubles in column-major
 * order (row r, column c at index 4c + r); {@code colorCameraTPointCloud} carries point cloud
 * points into the colour camera's frame ({@link Pose#toMatrix()} gives one from a pose).
 *
 * <p>The methods may run on any thread; the cloud must not change during a call.
 */
public final class Geometry {
  static {
    NativeLibrary.load();
  }

  private Geometry() {}

  /**
   * Returns the point under the image position (u, v), in the colour camera's frame: every
   * point is projected into the colour image, and the one whose projection lies nearest to the
   * pixel, if within 10 pixels, gives the depth at which the pixel's own ray is taken.
   *
   * @param cloud the points, at least one
   * @param intrinsics the colour camera's calibration; fx and fy above 0
   * @param colorCameraTPointCloud 16 doubles, column-major
   * @param u the column, as a fraction of the width
   * @param v the row, as a fraction of the height
   * @return x, y, z in metres, or {@code null} when no point lies under the pixel
   * @throws IllegalArgumentException when the library refuses an argument (the message is its
   *     error line), or the transform does not hold 16 values
   * @throws IllegalStateException when the cloud is closed
   */
  public static float[] depthAtPoint(
      PointCloud cloud,
      CameraIntrinsics intrinsics,
      double[] colorCameraTPointCloud,
      float u,
      float v) {
    Objects.requireNonNull(cloud, "cloud");
    Objects.requireNonNull(intrinsics, "intrinsics");
    Checks.length(colorCameraTPointCloud, 16, "colorCameraTPointCloud");
    float[] point = new float[3];
    boolean found =
        nativeDepthAtPoint(
            cloud.buffer(),
            cloud.pointCount(),
            cloud.timestamp(),
            intrinsics.width(),
            intrinsics.height(),
            intrinsics.fx(),
            intrinsics.fy(),
            intrinsics.cx(),
            intrinsics.cy(),
            colorCameraTPointCloud,
            u,
            v,
            point);
    return found ? point : null;
  }

  /**
   * Returns the plane under the touched image position (u, v) and the point where the touch
   * ray meets it, both in the point cloud's frame. The plane is fitted by RANSAC among the
   * points projected within 100 pixels of the touch and refined against the whole cloud; its
   * random samples are seeded from the clock unless {@link TuningFlags} fix the seed.
   *
   * @param cloud the points, at least three
   * @param intrinsics the colour camera's calibration
   * @param colorCameraTPointCloud 16 doubles, column-major
   * @param u the column, as a fraction of the width
   * @param v the row, as a fraction of the height
   * @return the plane and the touched point, or {@code null} when there is no plane under the
   *     touch (too few points near it, none that span a plane, or a ray parallel to it)
   * @throws IllegalArgumentException when the library refuses an argument (the message is its
   *     error line), or the transform does not hold 16 values
   * @throws OutOfMemoryError when the library could not have the memory for the fit
   * @throws IllegalStateException when the cloud is closed
   */
  public static PlaneHit planeUnderTouch(
      PointCloud cloud,
      CameraIntrinsics intrinsics,
      double[] colorCameraTPointCloud,
      float u,
      float v) {
    Objects.requireNonNull(cloud, "cloud");
    Objects.requireNonNull(intrinsics, "intrinsics");
    Checks.length(colorCameraTPointCloud, 16, "colorCameraTPointCloud");
    double[] point = new double[3];
    double[] plane = new double[4];
    boolean found =
        nativePlaneUnderTouch(
            cloud.buffer(),
            cloud.pointCount(),
            cloud.timestamp(),
            intrinsics.width(),
            intrinsics.height(),
            intrinsics.fx(),
            intrinsics.fy(),
            intrinsics.cx(),
            intrinsics.cy(),
            colorCameraTPointCloud,
            u,
            v,
            point,
            plane);
    return found ? new PlaneHit(point, plane) : null;
  }

  private static native boolean nativeDepthAtPoint(
      java.nio.ByteBuffer xyz,
      int pointCount,
      double timestamp,
      int width,
      int height,
      double fx,
      double fy,
      double cx,
      double cy,
      double[] colorCameraTPointCloud,
      float u,
      float v,
      float[] pointOut);

  private static native boolean nativePlaneUnderTouch(
      java.nio.ByteBuffer xyz,
      int pointCount,
      double timestamp,
      int width,
      int height,
      double fx,
      double fy,
      double cx,
      double cy,
      double[] colorCameraTPointCloud,
      float u,
      float v,
      double[] pointOut,
      double[] planeOut);
}
