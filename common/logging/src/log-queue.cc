// The queue of finished messages, drained into the device log by one background thread.
#include "log-queue.h"

#include <android/log.h>
#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "logging/log-priority.h"

namespace logging {
namespace {

// Set while this thread writes a message: to the device log and to the listeners.
thread_local bool writing = false;

}  // namespace

LogQueue& LogQueue::Get() {
  static LogQueue* const queue = [] {
    auto* created = new LogQueue();
    std::atexit([] { Get().Stop(); });
    return created;
  }();
  return *queue;
}

// The thread starts once every member it reads exists. When it cannot start, the queue is
// stopped from the outset: every entry is written by its caller.
LogQueue::LogQueue() {
  try {
    thread_ = std::thread([this] { Drain(); });
  } catch (...) {
    stopped_ = true;
  }
  pthread_atfork(&LockForFork, &UnlockAfterFork, &BecomeForkedChild);
}

void LogQueue::LockForFork() {
  LogQueue& queue = Get();
  queue.message_mutex_.lock();
  queue.queue_mutex_.lock();
}

void LogQueue::UnlockAfterFork() {
  LogQueue& queue = Get();
  queue.queue_mutex_.unlock();
  queue.message_mutex_.unlock();
}

void LogQueue::BecomeForkedChild() {
  LogQueue& queue = Get();
  // The queued entries are the parent's to write. The thread object names a thread the child
  // does not have: with stopped_ set, nothing joins it.
  queue.entries_.clear();
  queue.written_ = queue.pushed_;
  queue.stopped_ = true;
  UnlockAfterFork();
}

void LogQueue::PushOrWrite(LogEntry entry) noexcept {
  LogQueue* queue = nullptr;
  try {
    queue = &Get();
  } catch (...) {
    WriteToDeviceLog(entry);
    return;
  }
  try {
    queue->Push(&entry);
  } catch (...) {
    // A lock or the queue's memory failed before the entry was taken: written here instead.
    queue->Write(entry);
  }
}

// Takes `entry` into the queue, or writes it here once the thread has stopped.
void LogQueue::Push(LogEntry* entry) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (!stopped_) {
      entries_.push_back(std::move(*entry));
      ++pushed_;
      entries_available_.notify_one();
      return;
    }
    ++pushed_;
  }
  Write(*entry);
  std::lock_guard<std::mutex> lock(queue_mutex_);
  ++written_;
  entries_written_.notify_all();
}

void LogQueue::Flush() noexcept {
  if (writing) return;
  try {
    std::unique_lock<std::mutex> lock(queue_mutex_);
    const uint64_t target = pushed_;
    entries_written_.wait(lock, [&] { return written_ >= target; });
  } catch (...) {
    // Waiting is best effort: a lock that fails is no reason to end the caller.
  }
}

void LogQueue::AddListener(LogListener* listener) {
  std::lock_guard<std::mutex> lock(listeners_mutex_);
  listeners_.insert(listener);
}

void LogQueue::RemoveListener(LogListener* listener) {
  std::lock_guard<std::mutex> lock(listeners_mutex_);
  listeners_.erase(listener);
}

void LogQueue::Drain() {
  std::unique_lock<std::mutex> lock(queue_mutex_);
  for (;;) {
    entries_available_.wait(lock, [&] { return !entries_.empty() || stop_; });
    // Everything queued before the stop request is written before the thread ends.
    if (entries_.empty()) {
      stopped_ = true;
      return;
    }
    LogEntry entry = std::move(entries_.front());
    entries_.pop_front();
    lock.unlock();
    Write(entry);
    lock.lock();
    ++written_;
    entries_written_.notify_all();
  }
}

void LogQueue::Stop() {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    stop_ = true;
    if (stopped_) return;  // a forked child: there is no thread to wait for
  }
  entries_available_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void LogQueue::Write(const LogEntry& entry) noexcept {
  // A listener may log, or flush, from inside its delivery; it runs on this thread.
  const bool was_writing = writing;
  writing = true;
  try {
    WriteNow(entry);
  } catch (...) {
    // The device log has the line; listeners that could not be reached miss it.
  }
  writing = was_writing;
}

void LogQueue::WriteToDeviceLog(const LogEntry& entry) noexcept {
  const int priority = AndroidPriority(entry.severity);
  const std::string& message = entry.message;
  if (message.size() < kDeviceLogPieceLength) {
    __android_log_print(priority, entry.tag.c_str(), "%s", message.c_str());
    return;
  }
  for (size_t begin = 0; begin < message.size(); begin += kDeviceLogPieceLength) {
    // Each piece printed with a precision: no copy of the text is made.
    const int length = static_cast<int>(std::min(kDeviceLogPieceLength, message.size() - begin));
    __android_log_print(priority, entry.tag.c_str(), "%.*s", length, message.data() + begin);
  }
}

void LogQueue::WriteNow(const LogEntry& entry) {
  WriteToDeviceLog(entry);
  const std::string& message = entry.message;

  std::vector<LogListener*> listeners;
  {
    std::lock_guard<std::mutex> lock(listeners_mutex_);
    listeners.assign(listeners_.begin(), listeners_.end());
  }
  if (listeners.empty()) return;
  const std::time_t now = std::time(nullptr);
  struct ::tm local_time {};
  localtime_r(&now, &local_time);
  for (LogListener* listener : listeners) {
    listener->Deliver(entry.severity, entry.file.c_str(), entry.base_file.c_str(), entry.line,
                      &local_time, message.data(), message.size());
  }
  for (LogListener* listener : listeners) listener->WaitUntilDelivered();
}

void AddLogListener(LogListener* listener) { LogQueue::Get().AddListener(listener); }

void RemoveLogListener(LogListener* listener) { LogQueue::Get().RemoveListener(listener); }

void FlushLog() { LogQueue::Get().Flush(); }

}  // namespace logging
