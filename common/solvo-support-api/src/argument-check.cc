// Error lines of exported functions.
#include "argument-check.h"

#include "logging/log-statement.h"

namespace solvo_support_api {

void LogSignatureError(const char* file, int line, const char* signature,
                       const std::string& message) {
  logging::LogStatement(file, line, logging::kSeverityError).stream() << signature << message;
}

SolvoErrorType RejectArgument(const char* file, int line, const char* signature,
                              const std::string& message) {
  LogSignatureError(file, line, signature, message);
  return SOLVO_STATUS_BAD_ARGUMENT;
}

}  // namespace solvo_support_api
