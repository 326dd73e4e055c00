// Message objects: the prefix on start, the hand-over (or the fatal end) on finish.
#include "logging/log-statement.h"

#include <android/log.h>

#include <cstdio>

#include "log-queue.h"
#include "logging/last-error-text.h"

namespace logging {

LogStatement::LogStatement(const char* file, int line, int severity)
    : LogStatement(file, line, kDefaultTag, severity) {}

LogStatement::LogStatement(const char* file, int line, const char* tag, int severity) {
  LogQueue& queue = LogQueue::Get();
  std::lock_guard<std::mutex> lock(queue.message_mutex());
  file_ = file;
  line_ = line;
  tag_ = tag;
  severity_ = severity;
  const size_t slash = file_.rfind('/');
  base_file_ = slash == std::string::npos ? file_ : file_.substr(slash + 1);
  stream_ << base_file_ << ':' << line_ << ' ';
}

LogStatement::~LogStatement() {
  LogQueue& queue = LogQueue::Get();
  LogEntry entry;
  {
    std::lock_guard<std::mutex> lock(queue.message_mutex());
    stream_ << '\n';
    stream_.flush();
    entry.file = file_;
    entry.line = line_;
    entry.tag = tag_;
    entry.severity = severity_;
    entry.message = stream_.str();
    entry.base_file = base_file_;
  }
  if (entry.severity == kSeverityFatal) {
    // Written at once on this thread, ahead of anything still queued, because the process ends.
    std::fputs(entry.message.c_str(), stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    __android_log_assert("", entry.tag.c_str(), "%s", entry.message.c_str());
  }
  if (entry.severity <= kSeverityError) {
    // The text without the "<base file>:<line> " prefix written first and the final newline.
    const size_t prefix = base_file_.size() + std::to_string(line_).size() + 2;
    SetLastErrorText(entry.message.substr(prefix, entry.message.size() - prefix - 1));
  }
  queue.Push(std::move(entry));
}

}  // namespace logging
