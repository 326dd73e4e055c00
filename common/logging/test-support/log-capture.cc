// Test support: a listener that records delivered lines.
#include "logging/log-capture.h"

namespace logging {

// Lines finished before the capture began are not its own: let them pass first.
LogCapture::LogCapture() {
  FlushLog();
  AddLogListener(this);
}

LogCapture::~LogCapture() {
  FlushLog();
  RemoveLogListener(this);
}

std::vector<LogCapture::Line> LogCapture::Lines() {
  FlushLog();
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> LogCapture::Texts() {
  std::vector<std::string> texts;
  for (const Line& line : Lines()) texts.push_back(line.text);
  return texts;
}

void LogCapture::Clear() {
  FlushLog();
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

void LogCapture::Deliver(int severity, const char*, const char*, int, const struct ::tm*,
                         const char* text, size_t length) {
  std::string message(text, length);
  const size_t blank = message.find(' ');
  message.erase(0, blank == std::string::npos ? message.size() : blank + 1);
  if (!message.empty() && message.back() == '\n') message.pop_back();
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back({severity, std::move(message)});
}

}  // namespace logging
