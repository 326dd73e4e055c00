// Both frame managers between a writer thread and a reader thread, and closing under use.
package org.solvo.support;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.nio.FloatBuffer;
import java.nio.ReadOnlyBufferException;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.Test;

class ManagersTest {
  private static final int FRAMES = 200;
  private static final int POINTS = 1000;

  /** Runs `writer` and `reader` on two threads, joins both, and rethrows what either threw. */
  private static void runPair(Runnable writer, Runnable reader) throws InterruptedException {
    AtomicReference<Throwable> failure = new AtomicReference<>();
    Thread[] threads = {new Thread(writer), new Thread(reader)};
    for (Thread thread : threads) {
      thread.setUncaughtExceptionHandler((t, e) -> failure.compareAndSet(null, e));
      thread.start();
    }
    for (Thread thread : threads) {
      thread.join();
    }
    if (failure.get() != null) {
      throw new AssertionError(failure.get());
    }
  }

  @Test
  void aReaderSeesWholeCloudsInOrderWhileAWriterHandsThemOver() throws InterruptedException {
    AtomicInteger seen = new AtomicInteger();
    try (PointCloudManager manager = new PointCloudManager(POINTS);
        PointCloud cloud = new PointCloud(POINTS)) {
      Runnable writer =
          () -> {
            FloatBuffer xyz = cloud.points();
            for (int frame = 1; frame <= FRAMES; ++frame) {
              // Every value tells the frame; the count changes too.
              for (int i = 0; i < 3 * POINTS; ++i) {
                xyz.put(i, frame);
              }
              cloud.setPointCount(POINTS - frame % 7);
              cloud.setTimestamp(frame);
              manager.update(cloud);
            }
          };
      Runnable reader =
          () -> {
            double last = 0;
            while (last < FRAMES) {
              PointCloudManager.Frame latest = manager.getLatest();
              assertTrue(latest.timestamp() >= last);
              if (latest.timestamp() > last) {
                int frame = (int) latest.timestamp();
                assertEquals(POINTS - frame % 7, latest.pointCount());
                FloatBuffer points = latest.points();
                for (int i = 0; i < points.capacity(); ++i) {
                  assertEquals(frame, points.get(i), 0f);
                }
                seen.incrementAndGet();
              }
              last = latest.timestamp();
            }
          };
      runPair(writer, reader);
    }
    assertTrue(seen.get() >= 1 && seen.get() <= FRAMES);
  }

  @Test
  void aReaderSeesWholeImagesWhileAWriterHandsThemOver() throws InterruptedException {
    int width = 64;
    int height = 48;
    try (ImageBufferManager manager =
        new ImageBufferManager(ImageBufferManager.FORMAT_YCRCB_420_SP, width, height)) {
      assertEquals(width * (height + height / 2), manager.imageBytes());
      ByteBuffer pixels = ByteBuffer.allocateDirect(manager.imageBytes());
      Runnable writer =
          () -> {
            for (int frame = 1; frame <= FRAMES; ++frame) {
              for (int i = 0; i < pixels.capacity(); ++i) {
                pixels.put(i, (byte) frame);
              }
              manager.update(pixels, frame);
            }
          };
      Runnable reader =
          () -> {
            double last = 0;
            while (last < FRAMES) {
              ImageBufferManager.Frame latest = manager.getLatest();
              ByteBuffer image = latest.pixels();
              assertEquals(manager.imageBytes(), image.remaining());
              for (int i = 0; i < image.capacity(); ++i) {
                assertEquals((byte) latest.timestamp(), image.get(i));
              }
              last = latest.timestamp();
            }
          };
      runPair(writer, reader);
    }
  }

  @Test
  void beforeAnyUpdateTheReaderGetsAnEmptyFrameStampedZero() {
    try (PointCloudManager clouds = new PointCloudManager(3);
        ImageBufferManager images =
            new ImageBufferManager(ImageBufferManager.FORMAT_RGBA_8888, 3, 2)) {
      assertEquals(0, clouds.getLatest().pointCount());
      assertEquals(0.0, clouds.getLatest().timestamp());
      ImageBufferManager.Frame image = images.getLatest();
      assertEquals(24, image.pixels().remaining());
      assertEquals(0, image.pixels().get(23));
      assertEquals(0.0, image.timestamp());
    }
  }

  @Test
  void framesAreReadOnlyViewsAndBadUpdatesAreRefused() {
    try (PointCloudManager clouds = new PointCloudManager(2);
        PointCloud three = new PointCloud(3);
        ImageBufferManager images =
            new ImageBufferManager(ImageBufferManager.FORMAT_RGBA_8888, 2, 2)) {
      three.setPointCount(2);
      three.setTimestamp(1);
      clouds.update(three);
      assertThrows(ReadOnlyBufferException.class, () -> clouds.getLatest().points().put(0, 1f));
      three.setPointCount(3);
      assertThrows(IllegalArgumentException.class, () -> clouds.update(three));

      assertThrows(ReadOnlyBufferException.class, () -> images.getLatest().pixels().put(0, (byte) 1));
      assertThrows(IllegalArgumentException.class, () -> images.update(ByteBuffer.allocate(16), 1));
      assertThrows(
          IllegalArgumentException.class, () -> images.update(ByteBuffer.allocateDirect(15), 1));
      IllegalArgumentException region =
          assertThrows(IllegalArgumentException.class, () -> images.setCopyRegion(false, 0, 3));
      assertTrue(region.getMessage().contains("SolvoSupport_setImageBufferCopyRegion"));
    }
  }

  @Test
  void closingWhileAnotherThreadReadsEndsItsCallsCleanly() throws InterruptedException {
    PointCloudManager manager = new PointCloudManager(POINTS);
    CountDownLatch reading = new CountDownLatch(1);
    AtomicInteger calls = new AtomicInteger();
    Thread reader =
        new Thread(
            () -> {
              try {
                while (true) {
                  manager.getLatest();
                  calls.incrementAndGet();
                  reading.countDown();
                }
              } catch (IllegalStateException closed) {
                // The end this test waits for.
              }
            });
    reader.start();
    reading.await();
    manager.close();
    reader.join();
    assertTrue(calls.get() >= 1);
  }
}
