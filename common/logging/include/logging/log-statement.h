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
// it is written to standard error and the device log at once and the process ends. `file` and
// `tag` must outlive the statement (they are the caller's literals).
//
// Nothing here throws, so that a line never ends its caller: when the logging thread cannot be
// had (it could not start, a lock failed, the queue has no room) the line is written on the
// caller's thread instead, and when memory for the text itself runs out the line is lost.
class LogStatement {
 public:
  LogStatement(const char* file, int line, const char* tag, int severity) noexcept;
  LogStatement(const char* file, int line, int severity) noexcept;
  ~LogStatement();

  LogStatement(const LogStatement&) = delete;
  LogStatement& operator=(const LogStatement&) = delete;

  std::ostream& stream() { return stream_; }

 private:
  const char* file_;
  const char* base_file_;
  int line_;
  const char* tag_;
  int severity_;
  // Streaming into it never throws: a failure only marks the stream bad.
  std::ostringstream stream_;
};

}  // namespace logging

#define LOG_ERROR() ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityError).stream()
#define LOG_WARNING() \
  ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityWarning).stream()
#define LOG_INFO() ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityInfo).stream()

#endif  // LOGGING_LOG_STATEMENT_H_
