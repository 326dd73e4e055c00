// The calling thread's last error line.
#include "logging/last-error-text.h"

#include <utility>

namespace logging {
namespace {

thread_local std::string last_error_text;

}  // namespace

const std::string& LastErrorText() { return last_error_text; }

void ClearLastErrorText() { last_error_text.clear(); }

void SetLastErrorText(std::string text) { last_error_text = std::move(text); }

}  // namespace logging
