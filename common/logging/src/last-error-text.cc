// The calling thread's last error line.
#include "logging/last-error-text.h"

#include <algorithm>
#include <cstring>

namespace logging {
namespace {

// Plain characters: a thread-local object with a destructor would have to be registered with
// the C library at the thread's first use, which aborts the process when memory has run out.
thread_local char last_error_text[kLastErrorTextCapacity + 1] = {};

}  // namespace

const char* LastErrorText() { return last_error_text; }

void ClearLastErrorText() { last_error_text[0] = '\0'; }

void SetLastErrorText(const char* text, size_t length) {
  const size_t kept = std::min(length, kLastErrorTextCapacity);
  std::memcpy(last_error_text, text, kept);
  last_error_text[kept] = '\0';
}

}  // namespace logging
