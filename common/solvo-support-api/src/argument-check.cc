// Error lines of exported functions.
#include "argument-check.h"

#include "logging/log-statement.h"

namespace solvo_support_api {

void LogSignatureError(const char* file, int line, const char* signature,
                       const std::string& message) {
  logging::LogStatement(file, line, logging::kSeverityError).stream() << signature << message;
}

void LogAllocationFailure(const char* file, int line, const char* signature) noexcept {
  if (signature == nullptr) return;
  try {
    LogSignatureError(file, line, signature, " could not allocate memory.");
  } catch (...) {
    // Best effort: a line that cannot be written is left out.
  }
}

SolvoErrorType RejectArgument(const char* file, int line, const char* signature,
                              const std::string& message) {
  LogSignatureError(file, line, signature, message);
  return SOLVO_STATUS_BAD_ARGUMENT;
}

}  // namespace solvo_support_api
