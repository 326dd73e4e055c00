// Test support: records the lines the logging thread delivers while the capture is alive.
#ifndef LOGGING_LOG_CAPTURE_H_
#define LOGGING_LOG_CAPTURE_H_

#include <mutex>
#include <string>
#include <vector>

#include "logging/log-listener.h"

namespace logging {

class LogCapture : public LogListener {
 public:
  struct Line {
    int severity;
    std::string text;  // after the "<base file>:<line> " prefix, without the final newline
  };

  LogCapture();
  ~LogCapture() override;

  // Every line delivered so far, after waiting for the lines finished before the call.
  std::vector<Line> Lines();
  // The texts of Lines(), for matching with ElementsAre.
  std::vector<std::string> Texts();
  void Clear();

  void Deliver(int severity, const char* file, const char* base_file, int line,
               const struct ::tm* local_time, const char* text, size_t length) override;
  void WaitUntilDelivered() override {}

 private:
  std::mutex mutex_;
  std::vector<Line> lines_;
};

}  // namespace logging

#endif  // LOGGING_LOG_CAPTURE_H_
