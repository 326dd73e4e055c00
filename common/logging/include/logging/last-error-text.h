// The text of the last error line the calling thread wrote, kept for that thread alone.
#ifndef LOGGING_LAST_ERROR_TEXT_H_
#define LOGGING_LAST_ERROR_TEXT_H_

#include <cstddef>

namespace logging {

// The most characters kept of a text; a longer one is cut there (no line of the library comes
// near it). The text lives in a fixed thread-local buffer: keeping it never allocates, so it
// works as well when memory has run out.
constexpr size_t kLastErrorTextCapacity = 2047;

// The last error line (severity error or below) this thread finished since its last
// ClearLastErrorText, after the "<base file>:<line> " prefix and without the final newline; "" when
// there is none. The text stays valid, and unchanged, until this thread writes an error line or
// clears it.
const char* LastErrorText();
void ClearLastErrorText();

// Called by the finish of every message at error severity on the thread that wrote it, with the
// `length` characters at `text`.
void SetLastErrorText(const char* text, size_t length);

}  // namespace logging

#endif  // LOGGING_LAST_ERROR_TEXT_H_
