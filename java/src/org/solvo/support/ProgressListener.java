// Told how far a long call has come, and able to cancel it.
package org.solvo.support;

/** Receives the progress of a long call, on the thread that made the call. */
@FunctionalInterface
public interface ProgressListener {
  /**
   * Called as the work advances: {@code fraction} starts at 0, rises in steps of about a
   * hundredth, and is 1 when the work is complete. An exception thrown here cancels the work
   * and reaches the caller of the long call instead of its result.
   *
   * @param fraction the share of the work done, from 0 to 1
   * @return {@code true} to go on, {@code false} to cancel
   */
  boolean onProgress(double fraction);
}
