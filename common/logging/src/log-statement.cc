// Message objects: the prefix on start, the hand-over (or the fatal end) on finish.
#include "logging/log-statement.h"

#include <android/log.h>

#include <cstdio>
#include <cstring>

#include "log-queue.h"
#include "logging/last-error-text.h"

namespace logging {
namespace {

// The digits of `value` in decimal, its sign included.
size_t DecimalDigits(int value) {
  size_t digits = value < 0 ? 2 : 1;
  for (long long rest = value < 0 ? -static_cast<long long>(value) : value; rest >= 10;
       rest /= 10) {
    ++digits;
  }
  return digits;
}

// Runs `work` holding the queue's message lock, which keeps a fork from splitting a statement
// (the first statement also starts the logging thread); without it when the queue or the lock
// cannot be had. Exceptions of `work` itself reach the caller.
template <typename Work>
void UnderMessageLock(Work&& work) {
  std::unique_lock<std::mutex> lock;
  try {
    lock = std::unique_lock<std::mutex>(LogQueue::Get().message_mutex());
  } catch (...) {
  }
  work();
}

}  // namespace

LogStatement::LogStatement(const char* file, int line, int severity) noexcept
    : LogStatement(file, line, kDefaultTag, severity) {}

LogStatement::LogStatement(const char* file, int line, const char* tag, int severity) noexcept
    : file_(file), base_file_(file), line_(line), tag_(tag), severity_(severity) {
  const char* slash = std::strrchr(file, '/');
  if (slash != nullptr) base_file_ = slash + 1;
  UnderMessageLock([this] { stream_ << base_file_ << ':' << line_ << ' '; });
}

LogStatement::~LogStatement() {
  LogEntry entry;
  try {
    UnderMessageLock([&] {
      stream_ << '\n';
      entry.file = file_;
      entry.line = line_;
      entry.tag = tag_;
      entry.severity = severity_;
      entry.message = stream_.str();
      entry.base_file = base_file_;
    });
  } catch (...) {
    return;  // no memory for the text: the line is lost, the caller goes on
  }
  // A stream that ran out of memory holds only the start of the text: lost too, rather than cut.
  if (stream_.bad()) return;
  if (entry.severity == kSeverityFatal) {
    // Written at once on this thread, ahead of anything still queued, because the process ends.
    std::fputs(entry.message.c_str(), stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    __android_log_assert("", entry.tag.c_str(), "%s", entry.message.c_str());
  }
  if (entry.severity <= kSeverityError) {
    // The text without the "<base file>:<line> " prefix written first and the final newline.
    const size_t prefix = std::strlen(base_file_) + DecimalDigits(line_) + 2;
    if (entry.message.size() > prefix) {
      SetLastErrorText(entry.message.data() + prefix, entry.message.size() - prefix - 1);
    }
  }
  LogQueue::PushOrWrite(std::move(entry));
}

}  // namespace logging
