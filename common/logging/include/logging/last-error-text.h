// The text of the last error line the calling thread wrote, kept for that thread alone.
#ifndef LOGGING_LAST_ERROR_TEXT_H_
#define LOGGING_LAST_ERROR_TEXT_H_

#include <string>

namespace logging {

// The last error line (severity error or below) this thread finished since its last
// ClearLastErrorText, after the "<base file>:<line> " prefix and without the final newline; "" when
// there is none. The reference stays valid, and its text unchanged, until this thread writes an
// error line or clears it.
const std::string& LastErrorText();
void ClearLastErrorText();

// Called by the finish of every message at error severity on the thread that wrote it.
void SetLastErrorText(std::string text);

}  // namespace logging

#endif  // LOGGING_LAST_ERROR_TEXT_H_
