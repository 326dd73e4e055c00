// A depth point cloud in memory Java owns, read in place by the library's calls.
package org.solvo.support;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.FloatBuffer;

/**
 * A depth point cloud: up to {@link #capacity()} points of x, y, z in metres, in the depth
 * camera's frame, with the time it was captured.
 *
 * <p>The points live in a direct buffer in native byte order that this object allocates and
 * Java owns. Every call that takes the cloud reads the first {@link #pointCount()} points of
 * that very memory: nothing is copied on the way in, so filling {@link #points()} and then
 * asking for the depth under a pixel costs no more than the C call itself. A buffer obtained
 * from {@link #points()} stays valid after {@link #close()}; only this object refuses further
 * use.
 *
 * <p>A cloud is not thread-safe: it must not be changed while another thread runs a call that
 * reads it.
 *
 * <pre>{@code
 * try (PointCloud cloud = new PointCloud(640 * 480)) {
 *   FloatBuffer xyz = cloud.points();
 *   xyz.put(x).put(y).put(z);  // one point
 *   cloud.setPointCount(1);
 *   cloud.setTimestamp(captureTime);
 * }
 * }</pre>
 */
public final class PointCloud implements AutoCloseable {
  /** Bytes per point: three floats. */
  static final int BYTES_PER_POINT = 12;

  private final ByteBuffer bytes;
  private final int capacity;
  private int pointCount;
  private double timestamp;
  private volatile boolean closed;

  /**
   * Creates a cloud with room for {@code capacity} points; it holds none yet, stamped 0.
   *
   * @param capacity the most points the cloud holds, from 0 up to what one direct buffer holds
   *     ({@code Integer.MAX_VALUE / 12})
   * @throws IllegalArgumentException when {@code capacity} is negative or too large
   */
  public PointCloud(int capacity) {
    if (capacity < 0 || (long) capacity * BYTES_PER_POINT > Integer.MAX_VALUE) {
      throw new IllegalArgumentException(
          "capacity must be from 0 to " + Integer.MAX_VALUE / BYTES_PER_POINT + ", not " + capacity);
    }
    this.capacity = capacity;
    bytes = ByteBuffer.allocateDirect(capacity * BYTES_PER_POINT).order(ByteOrder.nativeOrder());
  }

  /** Returns the most points this cloud holds. */
  public int capacity() {
    return capacity;
  }

  /**
   * Returns a view of the cloud's points: x, y, z of point i at indices 3i, 3i + 1 and 3i + 2,
   * {@code 3 * capacity()} floats in all. Each call returns a new view (its own position and
   * limit) over the same memory, which the library's calls read.
   *
   * @throws IllegalStateException when the cloud is closed
   */
  public FloatBuffer points() {
    checkOpen();
    return bytes.duplicate().order(ByteOrder.nativeOrder()).asFloatBuffer();
  }

  /**
   * Sets how many of the points, from the first, the cloud holds.
   *
   * @param count from 0 to the capacity
   * @throws IllegalArgumentException when {@code count} is negative or above the capacity
   * @throws IllegalStateException when the cloud is closed
   */
  public void setPointCount(int count) {
    checkOpen();
    if (count < 0 || count > capacity) {
      throw new IllegalArgumentException(
          "point count must be from 0 to " + capacity + ", not " + count);
    }
    pointCount = count;
  }

  /** Returns how many points the cloud holds. */
  public int pointCount() {
    checkOpen();
    return pointCount;
  }

  /**
   * Sets the capture time.
   *
   * @param seconds the time the points were captured, in seconds
   * @throws IllegalStateException when the cloud is closed
   */
  public void setTimestamp(double seconds) {
    checkOpen();
    timestamp = seconds;
  }

  /** Returns the capture time, in seconds. */
  public double timestamp() {
    checkOpen();
    return timestamp;
  }

  /**
   * Ends the use of this cloud: every later method throws {@link IllegalStateException}. The
   * memory is Java's and goes with the last reference to it, so a view from {@link #points()}
   * stays readable. Closing twice is harmless.
   */
  @Override
  public void close() {
    closed = true;
  }

  /** The memory the library's calls read. */
  ByteBuffer buffer() {
    checkOpen();
    return bytes;
  }

  private void checkOpen() {
    if (closed) {
      throw new IllegalStateException("the point cloud is closed");
    }
  }
}
