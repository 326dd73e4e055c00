// The application's receiver of the library's log lines, and the wait for lines in flight.
package org.solvo.support;

import java.nio.charset.StandardCharsets;

/**
 * The library's log lines. Every line goes to the Android log with the tag "solvo"; a
 * listener set here receives each line as well, on the library's logging thread, which the
 * binding attaches to the virtual machine as a daemon thread the first time it delivers a line.
 * Lines are queued by the call that writes them and delivered shortly after it returned; {@link
 * #flush()} waits for them.
 *
 * <p>An exception thrown by the listener is cleared and dropped: the logging thread has no
 * caller to hand it to, and the next line is delivered as usual. At the virtual machine's
 * shutdown the listener is removed, so that no line is delivered into a stopping machine.
 */
public final class Log {
  static {
    NativeLibrary.load();
  }

  /** The priority of a warning: input the mesh calls repaired. */
  public static final int WARN = 5;

  /** The priority of an error: a refused argument or failed work. */
  public static final int ERROR = 6;

  /** The priority of a broken invariant, which ends the process; never delivered. */
  public static final int FATAL = 7;

  private static volatile LogListener listener;
  private static volatile boolean installed;

  private Log() {}

  /**
   * Makes {@code newListener} receive every line written from now on; {@code null} removes the
   * current listener. When it returns, the previous listener is not running on another thread
   * and receives no more lines. Lines queued before the call but delivered after it reach the
   * new listener: call {@link #flush()} first to keep them away. Called from inside a listener,
   * it does not wait for the call it is in.
   *
   * @param newListener the new receiver, or {@code null} for none
   */
  public static void setListener(LogListener newListener) {
    listener = newListener;
    if (newListener != null) {
      installOnce();
    }
    if (installed) {
      // Installing the same receiver again waits for every delivery of the previous listener.
      nativeInstall();
    }
  }

  /**
   * Waits until every line written before the call has reached the Android log and the
   * listener. Called from inside the listener, it returns at once.
   */
  public static void flush() {
    nativeFlush();
  }

  /** The binding's receiver stays installed once a listener was set; it reads the field. */
  private static synchronized void installOnce() {
    if (!installed) {
      installed = true;
      Runtime.getRuntime()
          .addShutdownHook(new Thread(Log::nativeUninstall, "solvo-support-log-shutdown"));
    }
  }

  /** Called by the native receiver for each line; the texts are bytes of UTF-8. */
  private static void deliver(int priority, byte[] tag, byte[] text) {
    LogListener current = listener;
    if (current != null) {
      current.onLog(
          priority,
          new String(tag, StandardCharsets.UTF_8),
          new String(text, StandardCharsets.UTF_8));
    }
  }

  private static native void nativeInstall();

  private static native void nativeUninstall();

  private static native void nativeFlush();
}
