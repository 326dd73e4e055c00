// A log statement: text streamed on the caller's stack, handed to the logging thread when done.
#ifndef LOGGING_LOG_STATEMENT_H_
#define LOGGING_LOG_STATEMENT_H_

#include <ostream>
#include <sstream>
#include <string>

namespace logging {

constexpr int kSeverityFatal = -3;
constexpr int kSeverityError = -2;
constexpr int kSeverityWarning = -1;
constexpr int kSeverityInfo = 0;

constexpr const char kDefaultTag[] = "solvo";

// Streams one message. The text begins with "<base file>:<line> "; on destruction the message
// ends with a newline and is queued for the logging thread, except at fatal severity (-3), where
// it is written to standard error and the device log at once and the process ends.
class LogStatement {
 public:
  LogStatement(const char* file, int line, const char* tag, int severity);
  LogStatement(const char* file, int line, int severity);
  ~LogStatement();

  LogStatement(const LogStatement&) = delete;
  LogStatement& operator=(const LogStatement&) = delete;

  std::ostream& stream() { return stream_; }

 private:
  std::string file_;
  std::string base_file_;
  int line_;
  std::string tag_;
  std::ostringstream stream_;
  int severity_;
};

}  // namespace logging

#define LOG_ERROR() ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityError).stream()
#define LOG_WARNING() \
  ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityWarning).stream()
#define LOG_INFO() ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityInfo).stream()

#endif  // LOGGING_LOG_STATEMENT_H_
