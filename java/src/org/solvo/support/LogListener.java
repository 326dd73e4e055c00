// Receives the library's log lines.
package org.solvo.support;

/** Receives every log line the library writes, on the library's logging thread. */
@FunctionalInterface
public interface LogListener {
  /**
   * Called once per line, in the order written.
   *
   * @param priority as the Android log numbers it: {@link Log#WARN} for input the mesh calls
   *     repaired, {@link Log#ERROR} for refusals and failed work
   * @param tag the library's tag, "solvo"
   * @param text "&lt;source file&gt;:&lt;line&gt; &lt;message&gt;" and a final newline; a
   *     message of 1000 characters or more arrives in pieces of 1000, each its own call
   */
  void onLog(int priority, String tag, String text);
}
