// Extra destinations for log lines, and a flush that waits until every earlier line is delivered.
#ifndef LOGGING_LOG_LISTENER_H_
#define LOGGING_LOG_LISTENER_H_

#include <cstddef>
#include <ctime>

namespace logging {

// The device log takes lines of fewer than this many characters; a longer message is written in
// pieces of this many (the last one shorter), each its own line.
constexpr size_t kDeviceLogPieceLength = 1000;

// Receives every non-fatal message on the logging thread, after it was written to the device
// log. Deliver is called for each registered listener in address order, then WaitUntilDelivered
// on each.
class LogListener {
 public:
  virtual ~LogListener() = default;
  virtual void Deliver(int severity, const char* file, const char* base_file, int line,
                       const struct ::tm* local_time, const char* text, size_t length) = 0;
  virtual void WaitUntilDelivered() = 0;
};

// The listener must stay alive until it is removed. Removing waits for no delivery in flight:
// call FlushLog() first when the listener is about to be destroyed.
void AddLogListener(LogListener* listener);
void RemoveLogListener(LogListener* listener);

// Returns once every message finished before the call has been written and delivered. Called
// while this thread writes or delivers a message (from inside a listener), it returns at once:
// waiting there would wait for itself.
void FlushLog();

}  // namespace logging

#endif  // LOGGING_LOG_LISTENER_H_
