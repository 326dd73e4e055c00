// A native object's handle that close() frees only once no call is using it.
package org.solvo.support;

/**
 * Holds the address of a native object for a Java object that may be used from several
 * threads. Every native call runs between {@link #acquire} and {@link #release}; {@link
 * #close} marks the handle closed, waits until no call holds it, and only then hands the
 * address over to be freed, so no thread is ever inside a native call on freed memory.
 */
final class NativeHandle {
  private final String what;
  private long address;
  private int users;
  private boolean closed;

  NativeHandle(String what, long address) {
    this.what = what;
    this.address = address;
  }

  /** Returns the address for one call, which must end with {@link #release}. */
  synchronized long acquire() {
    if (closed) {
      throw new IllegalStateException("the " + what + " is closed");
    }
    ++users;
    return address;
  }

  synchronized void release() {
    if (--users == 0 && closed) {
      notifyAll();
    }
  }

  /**
   * Closes the handle, waits until no call holds it, and returns the address to free, or 0
   * when it was closed before.
   */
  synchronized long close() {
    if (closed) {
      return 0;
    }
    closed = true;
    boolean interrupted = false;
    while (users > 0) {
      try {
        wait();
      } catch (InterruptedException e) {
        interrupted = true;
      }
    }
    if (interrupted) {
      Thread.currentThread().interrupt();
    }
    long freed = address;
    address = 0;
    return freed;
  }
}
