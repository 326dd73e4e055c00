// Hands the newest colour image from one writer thread to one reader thread.
package org.solvo.support;

import java.nio.ByteBuffer;
import java.util.Objects;

/**
 * Three images of one format and size that carry the newest colour image from a writer thread
 * (the service's image callback) to a reader thread without either waiting for the other: the
 * writer copies each image into a back buffer and hands it over; the reader takes the newest
 * one handed over and reads it in place.
 *
 * <p>{@link #update} and {@link #getLatest} may run at the same time on two threads. Calls of
 * {@link #update} from several threads are taken one after another, and so are calls of
 * {@link #getLatest}. {@link #close} waits for calls in progress on other threads.
 *
 * <p>An image is packed rows without padding: {@link #FORMAT_RGBA_8888} has width * height * 4
 * bytes; {@link #FORMAT_YCRCB_420_SP} (NV21) a luminance plane of width * height bytes followed
 * by an interleaved chroma plane of height / 2 rows (rounded down) of width bytes.
 */
public final class ImageBufferManager implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Four bytes per pixel: red, green, blue, alpha. */
  public static final int FORMAT_RGBA_8888 = 1;

  /** NV21: a luminance plane, then interleaved chroma (V, U) at half resolution. */
  public static final int FORMAT_YCRCB_420_SP = 0x11;

  private final NativeHandle handle;
  private final int format;
  private final int width;
  private final int height;
  private final int imageBytes;
  private final Object writeLock = new Object();
  private final Object readLock = new Object();

  /**
   * Creates a manager of three zero-filled images.
   *
   * @param format {@link #FORMAT_RGBA_8888} or {@link #FORMAT_YCRCB_420_SP}
   * @param width the width in pixels, from 0 up
   * @param height the height in pixels, from 0 up
   * @throws IllegalArgumentException when the library refuses an argument (an unknown format, a
   *     negative size, an image above 2147483647 bytes); the message is its error line
   * @throws OutOfMemoryError when the library could not have the images
   */
  public ImageBufferManager(int format, int width, int height) {
    long address = nativeCreate(format, width, height);
    handle = new NativeHandle("image buffer manager", address);
    this.format = format;
    this.width = width;
    this.height = height;
    long bytes =
        format == FORMAT_RGBA_8888
            ? 4L * width * height
            : (long) width * (height + height / 2);
    imageBytes = (int) bytes;
  }

  /** Returns the size in bytes of one image. */
  public int imageBytes() {
    return imageBytes;
  }

  /**
   * Limits later updates to rows {@code beginLine} (inclusive) to {@code endLine} (exclusive)
   * and the chroma rows they use, and with {@code luminanceOnly} to those rows of the luminance
   * plane; the rest of each image keeps what earlier images left there. Call it on the writer's
   * or the reader's thread.
   *
   * @param luminanceOnly copy only the luminance rows (YCrCb_420_SP managers only)
   * @param beginLine the first row copied
   * @param endLine the row after the last one copied, at most the height
   * @throws IllegalArgumentException when the library refuses the region (the message is its
   *     error line)
   * @throws IllegalStateException when the manager is closed
   */
  public void setCopyRegion(boolean luminanceOnly, int beginLine, int endLine) {
    if (beginLine < 0 || endLine < 0) {
      throw new IllegalArgumentException(
          "lines must not be negative: " + beginLine + " to " + endLine);
    }
    long address = handle.acquire();
    try {
      nativeSetCopyRegion(address, luminanceOnly, beginLine, endLine);
    } finally {
      handle.release();
    }
  }

  /**
   * Copies the image in {@code pixels}, from its position, into the back buffer, stamps it and
   * hands it over; an image the reader has not taken yet is dropped. The buffer is only read,
   * during the call. Call it on the writer's thread.
   *
   * @param pixels a direct buffer with at least {@link #imageBytes()} bytes remaining
   * @param timestamp the capture time in seconds; the reader takes an image only when its time
   *     is later than the one it holds
   * @throws IllegalArgumentException when the buffer is not direct or holds too few bytes
   * @throws IllegalStateException when the manager is closed
   * @throws SolvoSupportException when the manager's lock could not be taken
   */
  public void update(ByteBuffer pixels, double timestamp) {
    Objects.requireNonNull(pixels, "pixels");
    if (!pixels.isDirect()) {
      throw new IllegalArgumentException("pixels must be a direct buffer");
    }
    if (pixels.remaining() < imageBytes) {
      throw new IllegalArgumentException(
          "pixels must hold " + imageBytes + " bytes, not " + pixels.remaining());
    }
    synchronized (writeLock) {
      long address = handle.acquire();
      try {
        nativeUpdate(address, pixels, pixels.position(), width, height, format, timestamp);
      } finally {
        handle.release();
      }
    }
  }

  /**
   * Returns the newest image handed over when it is later than the one this reader holds, else
   * that one again (before any update: all zero, stamped 0). Call it on the reader's thread.
   *
   * <p>The image's {@link Frame#pixels()} is a read-only view of the manager's own memory, not a
   * copy. It is valid only until the next call of this method or {@link #close()}: a view kept
   * beyond that may show another image, and after {@link #close()} reading it is an error that
   * may end the process, as with the planes of a closed camera image.
   *
   * @throws IllegalStateException when the manager is closed
   * @throws SolvoSupportException when the manager's lock could not be taken
   */
  public Frame getLatest() {
    synchronized (readLock) {
      long address = handle.acquire();
      try {
        double[] timestamp = new double[1];
        ByteBuffer pixels = nativeGetLatest(address, imageBytes, timestamp);
        if (pixels == null) {
          pixels = ByteBuffer.allocateDirect(0);
        }
        return new Frame(pixels.asReadOnlyBuffer(), timestamp[0]);
      } finally {
        handle.release();
      }
    }
  }

  /**
   * Frees the manager and its images, the one last handed out included, once no other thread
   * is inside one of its calls. Later calls throw {@link IllegalStateException}; closing twice
   * is harmless.
   */
  @Override
  public void close() {
    long address = handle.close();
    if (address != 0) {
      nativeFree(address);
    }
  }

  /** One image handed out by {@link ImageBufferManager#getLatest()}. */
  public static final class Frame {
    private final ByteBuffer pixels;
    private final double timestamp;

    Frame(ByteBuffer pixels, double timestamp) {
      this.pixels = pixels;
      this.timestamp = timestamp;
    }

    /**
     * Returns the image's bytes: a read-only view of the manager's memory, valid until the
     * reader's next {@link ImageBufferManager#getLatest()} or {@link
     * ImageBufferManager#close()}.
     */
    public ByteBuffer pixels() {
      return pixels.duplicate();
    }

    /** Returns the capture time in seconds. */
    public double timestamp() {
      return timestamp;
    }
  }

  private static native long nativeCreate(int format, int width, int height);

  private static native void nativeSetCopyRegion(
      long manager, boolean luminanceOnly, int beginLine, int endLine);

  private static native void nativeUpdate(
      long manager,
      ByteBuffer pixels,
      int offset,
      int width,
      int height,
      int format,
      double timestamp);

  private static native ByteBuffer nativeGetLatest(long manager, int bytes, double[] timestamp);

  private static native void nativeFree(long manager);
}
