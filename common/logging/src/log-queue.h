// The process's queue of finished messages and the thread that writes them to the device log.
#ifndef LOGGING_LOG_QUEUE_H_
#define LOGGING_LOG_QUEUE_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "logging/log-listener.h"

namespace logging {

struct LogEntry {
  std::string file;
  int line = 0;
  std::string tag;
  int severity = 0;
  std::string message;
  std::string base_file;
};

class LogQueue {
 public:
  // Built by the first caller and kept until the process exits, when its thread writes every
  // queued entry and stops. The object itself is never destroyed, so statements made by other
  // exit handlers still find it (they are then written on the caller's thread). Throws when the
  // object cannot be made (no memory); a thread that cannot start leaves it stopped.
  static LogQueue& Get();

  // Serialises the start and the finish of message objects.
  std::mutex& message_mutex() { return message_mutex_; }

  // Queues `entry` for the logging thread, or writes it on the caller's thread when the queue
  // cannot take it: before the queue exists or after its thread stopped, when the thread could
  // not start, a lock fails or memory runs out. Never throws.
  static void PushOrWrite(LogEntry entry) noexcept;
  // Returns once every entry queued before has been written; at once when waiting fails.
  void Flush() noexcept;
  void AddListener(LogListener* listener);
  void RemoveListener(LogListener* listener);

 private:
  LogQueue();
  // A forked child has no logging thread: keep the locks consistent across fork() and let the
  // child write its own lines on its own thread.
  static void LockForFork();
  static void UnlockAfterFork();
  static void BecomeForkedChild();
  void Drain();
  void Stop();
  void Push(LogEntry* entry);
  void Write(const LogEntry& entry) noexcept;
  void WriteNow(const LogEntry& entry);
  // The device log alone, for when there is no queue.
  static void WriteToDeviceLog(const LogEntry& entry) noexcept;

  std::mutex queue_mutex_;
  std::mutex message_mutex_;
  std::condition_variable entries_available_;
  std::thread thread_;
  std::deque<LogEntry> entries_;
  // Set under queue_mutex_, so the thread cannot miss it between its check and its wait.
  bool stop_ = false;
  // Set by the thread under queue_mutex_ as it leaves: later entries are written by their caller.
  bool stopped_ = false;
  uint64_t pushed_ = 0;
  uint64_t written_ = 0;
  std::condition_variable entries_written_;

  std::mutex listeners_mutex_;
  std::set<LogListener*> listeners_;
};

}  // namespace logging

#endif  // LOGGING_LOG_QUEUE_H_
