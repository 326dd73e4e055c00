// The exception of a library call that failed for a reason other than a refused argument.
package org.solvo.support;

/**
 * Thrown when the library did not do the work asked for, though every argument was accepted,
 * and no answer is not an ordinary outcome of that call: a pose the service did not answer, a
 * frame manager whose lock could not be taken. Refused arguments throw {@link
 * IllegalArgumentException}, and memory the library could not have throws {@link
 * OutOfMemoryError}.
 */
public class SolvoSupportException extends RuntimeException {
  /** The library's status for work that found no answer. */
  public static final int STATUS_FAILED = -1;

  /** The library's status for a refused argument. */
  public static final int STATUS_BAD_ARGUMENT = -2;

  /** The serialized form's version. */
  private static final long serialVersionUID = 1L;

  private final int status;

  /**
   * Creates the exception of a call that returned {@code status}.
   *
   * @param status the library's status, such as {@link #STATUS_FAILED}
   * @param message the library's error line, or a description of the call
   */
  public SolvoSupportException(int status, String message) {
    super(message);
    this.status = status;
  }

  /** Returns the library's status of the failed call, such as {@link #STATUS_FAILED}. */
  public int status() {
    return status;
  }
}
