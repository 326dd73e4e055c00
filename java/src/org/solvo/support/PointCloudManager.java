// Hands the newest point cloud from one writer thread to one reader thread.
package org.solvo.support;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.FloatBuffer;
import java.util.Objects;

/**
 * Three point clouds that carry the newest depth frame from a writer thread (the service's
 * point cloud callback) to a reader thread without either waiting for the other: the writer
 * copies each cloud into a back buffer and hands it over; the reader takes the newest one
 * handed over and reads it in place.
 *
 * <p>{@link #update} and {@link #getLatest} may run at the same time on two threads. Calls of
 * {@link #update} from several threads are taken one after another, and so are calls of
 * {@link #getLatest}. {@link #close} waits for calls in progress on other threads.
 */
public final class PointCloudManager implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  private final NativeHandle handle;
  private final int maxPoints;
  private final Object writeLock = new Object();
  private final Object readLock = new Object();

  /**
   * Creates a manager of three clouds with room for {@code maxPoints} points each.
   *
   * @param maxPoints at least 1, and at most what one direct buffer holds ({@code
   *     Integer.MAX_VALUE / 12})
   * @throws IllegalArgumentException when {@code maxPoints} is out of that range
   * @throws OutOfMemoryError when the library could not have the clouds
   */
  public PointCloudManager(int maxPoints) {
    if (maxPoints < 1 || (long) maxPoints * PointCloud.BYTES_PER_POINT > Integer.MAX_VALUE) {
      throw new IllegalArgumentException(
          "maxPoints must be from 1 to "
              + Integer.MAX_VALUE / PointCloud.BYTES_PER_POINT
              + ", not "
              + maxPoints);
    }
    handle = new NativeHandle("point cloud manager", nativeCreate(maxPoints));
    this.maxPoints = maxPoints;
  }

  /** Returns the most points a cloud handed over may hold. */
  public int maxPoints() {
    return maxPoints;
  }

  /**
   * Copies {@code cloud}'s points and time into the back buffer and hands it over; a cloud the
   * reader has not taken yet is dropped. A cloud without points is not handed over (the library
   * logs "No data in callback."). Call it on the writer's thread.
   *
   * @param cloud the cloud to hand over; only read, during the call
   * @throws IllegalArgumentException when the cloud holds more than {@link #maxPoints()} points
   * @throws IllegalStateException when the manager or the cloud is closed
   * @throws SolvoSupportException when the manager's lock could not be taken
   */
  public void update(PointCloud cloud) {
    Objects.requireNonNull(cloud, "cloud");
    ByteBuffer xyz = cloud.buffer();
    int count = cloud.pointCount();
    double timestamp = cloud.timestamp();
    if (count > maxPoints) {
      throw new IllegalArgumentException(
          "the cloud holds " + count + " points, the manager takes " + maxPoints);
    }
    synchronized (writeLock) {
      long address = handle.acquire();
      try {
        nativeUpdate(address, xyz, count, timestamp);
      } finally {
        handle.release();
      }
    }
  }

  /**
   * Returns the newest cloud handed over when it is later than the one this reader holds, else
   * that one again (the first call gives an empty cloud stamped 0). Call it on the reader's
   * thread.
   *
   * <p>The cloud's {@link Frame#points()} is a read-only view of the manager's own memory, not
   * a copy. It is valid only until the next call of this method or {@link #close()}: a view
   * kept beyond that may show another cloud, and after {@link #close()} reading it is an error
   * that may end the process, as with the planes of a closed camera image.
   *
   * @throws IllegalStateException when the manager is closed
   * @throws SolvoSupportException when the manager's lock could not be taken
   */
  public Frame getLatest() {
    synchronized (readLock) {
      long address = handle.acquire();
      try {
        double[] timestamp = new double[1];
        ByteBuffer xyz = nativeGetLatest(address, timestamp);
        if (xyz == null) {
          xyz = ByteBuffer.allocateDirect(0);
        }
        FloatBuffer points = xyz.asReadOnlyBuffer().order(ByteOrder.nativeOrder()).asFloatBuffer();
        return new Frame(points, timestamp[0]);
      } finally {
        handle.release();
      }
    }
  }

  /**
   * Frees the manager and its clouds, the one last handed out included, once no other thread is
   * inside one of its calls. Later calls throw {@link IllegalStateException}; closing twice is
   * harmless.
   */
  @Override
  public void close() {
    long address = handle.close();
    if (address != 0) {
      nativeFree(address);
    }
  }

  /** One cloud handed out by {@link PointCloudManager#getLatest()}. */
  public static final class Frame {
    private final FloatBuffer points;
    private final double timestamp;

    Frame(FloatBuffer points, double timestamp) {
      this.points = points;
      this.timestamp = timestamp;
    }

    /**
     * Returns x, y, z per point: a read-only view of the manager's memory, valid until the
     * reader's next {@link PointCloudManager#getLatest()} or {@link PointCloudManager#close()}.
     */
    public FloatBuffer points() {
      return points.duplicate();
    }

    /** Returns the number of points. */
    public int pointCount() {
      return points.capacity() / 3;
    }

    /** Returns the capture time in seconds. */
    public double timestamp() {
      return timestamp;
    }
  }

  private static native long nativeCreate(int maxPoints);

  private static native void nativeUpdate(
      long manager, ByteBuffer xyz, int pointCount, double timestamp);

  /** Returns the front cloud's points (null when it has none) and writes its time. */
  private static native ByteBuffer nativeGetLatest(long manager, double[] timestamp);

  private static native void nativeFree(long manager);
}
