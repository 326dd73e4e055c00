// The log listener, the tuning flags and the version through the binding.
package org.solvo.support;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.CopyOnWriteArrayList;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

class LibraryTest {
  /** One delivered line and the thread it came on. */
  private static final class Line {
    final int priority;
    final String tag;
    final String text;
    final Thread thread;

    Line(int priority, String tag, String text) {
      this.priority = priority;
      this.tag = tag;
      this.text = text;
      this.thread = Thread.currentThread();
    }
  }

  private final List<Line> lines = new CopyOnWriteArrayList<>();

  @AfterEach
  void removeListenerAndRestoreFlags() {
    Log.flush();
    Log.setListener(null);
    TuningFlags.set(TuningFlags.MAX_MESH_ANGLE_COS, "0.999");
  }

  private static void refuse(String name) {
    assertThrows(IllegalArgumentException.class, () -> TuningFlags.set(name, "1"));
  }

  @Test
  void theListenerReceivesARefusalsLineOnTheLibrarysDaemonThread() {
    Log.setListener((priority, tag, text) -> lines.add(new Line(priority, tag, text)));
    refuse("no_such_flag");
    Log.flush();
    assertEquals(1, lines.size());
    Line line = lines.get(0);
    assertEquals(Log.ERROR, line.priority);
    assertEquals("solvo", line.tag);
    assertTrue(line.text.endsWith(" no tuning flag is named 'no_such_flag'.\n"), line.text);
    assertNotEquals(Thread.currentThread(), line.thread);
    assertTrue(line.thread.isDaemon());
  }

  @Test
  void aListenersExceptionIsDroppedAndTheNextLineStillArrives() {
    Log.setListener(
        (priority, tag, text) -> {
          lines.add(new Line(priority, tag, text));
          throw new IllegalStateException("dropped");
        });
    refuse("first");
    refuse("second");
    Log.flush();
    assertEquals(2, lines.size());
    assertTrue(lines.get(1).text.contains("'second'"));
  }

  @Test
  void aRemovedListenerReceivesNothingMore() {
    Log.setListener((priority, tag, text) -> lines.add(new Line(priority, tag, text)));
    refuse("kept");
    Log.flush();
    Log.setListener(null);
    refuse("not_delivered");
    Log.flush();
    assertEquals(1, lines.size());
  }

  @Test
  void removingTheListenerWaitsForTheLineBeingDelivered() throws InterruptedException {
    CountDownLatch delivering = new CountDownLatch(1);
    CountDownLatch release = new CountDownLatch(1);
    Log.setListener(
        (priority, tag, text) -> {
          delivering.countDown();
          try {
            release.await();
          } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
          }
          lines.add(new Line(priority, tag, text));
        });
    refuse("held");
    delivering.await();
    Thread remover = new Thread(() -> Log.setListener(null));
    remover.start();
    // Bounded: a remover that did not wait would be done long before.
    remover.join(200);
    boolean waited = remover.isAlive();
    release.countDown();
    remover.join();
    assertTrue(waited);
    assertEquals(1, lines.size());
  }

  @Test
  void textBeyondAsciiCrossesBothWaysIntact() {
    Log.setListener((priority, tag, text) -> lines.add(new Line(priority, tag, text)));
    IllegalArgumentException refused =
        assertThrows(IllegalArgumentException.class, () -> TuningFlags.set("größe_😀", "1"));
    Log.flush();
    assertTrue(refused.getMessage().endsWith(" no tuning flag is named 'größe_😀'."));
    assertTrue(lines.get(0).text.contains("'größe_😀'"));
  }

  @Test
  void flagsReadBackAsTheFlagsLibraryPrintsThem() {
    assertEquals("0.10000000000000001", TuningFlags.get(TuningFlags.MESH_EDGE_LENGTH_WEIGHT));
    TuningFlags.set(TuningFlags.MAX_MESH_ANGLE_COS, "0.5");
    assertEquals("0.5", TuningFlags.get(TuningFlags.MAX_MESH_ANGLE_COS));
    assertThrows(IllegalArgumentException.class, () -> TuningFlags.get("unknown"));
  }

  @Test
  void theLoadedLibraryHasTheHeadersVersion() {
    assertEquals(
        Version.major() + "." + Version.minor() + "." + Version.patch(), Version.string());
  }
}
