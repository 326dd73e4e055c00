// The listener behind SetLogForwarding: one function, replaced without a delivery in flight.
#include "logging/log-forwarder.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "logging/log-listener.h"
#include "logging/log-priority.h"
#include "logging/log-statement.h"

namespace logging {
namespace {

// Calls of the forwarded function running on this thread: a function that logs at exit, where
// lines are written by their caller, is called again from inside itself.
thread_local uint64_t calls_on_this_thread = 0;

class LogForwarder : public LogListener {
 public:
  // Registered once and never destroyed: lines written by other exit handlers still pass here.
  static LogForwarder& Get() {
    static LogForwarder* const forwarder = [] {
      auto* created = new LogForwarder();
      AddLogListener(created);
      return created;
    }();
    return *forwarder;
  }

  void Set(LineFunction function, void* user_data) {
    std::unique_lock<std::mutex> lock(mutex_);
    function_ = function;
    user_data_ = user_data;
    ++generation_;
    running_earlier_ += running_current_;
    running_current_ = 0;
    // This thread's own calls in flight all began before this point: they cannot end first.
    const uint64_t own = calls_on_this_thread;
    finished_.wait(lock, [&] { return running_earlier_ <= own; });
  }

  void Deliver(int severity, const char*, const char*, int, const struct ::tm*, const char* text,
               size_t length) override {
    LineFunction function;
    void* user_data;
    uint64_t generation;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (function_ == nullptr) return;
      function = function_;
      user_data = user_data_;
      generation = generation_;
      ++running_current_;
    }
    ++calls_on_this_thread;
    // The pieces the device log was given, so the function sees exactly its lines.
    const int priority = AndroidPriority(severity);
    // Each piece is copied to the stack: a delivery allocates nothing, so it cannot end midway
    // and leave a replacement waiting for it.
    char piece[kDeviceLogPieceLength + 1];
    size_t begin = 0;
    do {
      const size_t piece_length = std::min(kDeviceLogPieceLength, length - begin);
      std::memcpy(piece, text + begin, piece_length);
      piece[piece_length] = '\0';
      // Every line of the library carries its one tag.
      function(priority, kDefaultTag, piece, user_data);
      begin += kDeviceLogPieceLength;
    } while (begin < length);
    --calls_on_this_thread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (generation == generation_) {
        --running_current_;
      } else {
        --running_earlier_;
      }
    }
    finished_.notify_all();
  }

  void WaitUntilDelivered() override {}

 private:
  LogForwarder() = default;

  std::mutex mutex_;
  std::condition_variable finished_;
  LineFunction function_ = nullptr;
  void* user_data_ = nullptr;
  // Calls that began since the last Set, and calls of the functions set before it.
  uint64_t generation_ = 0;
  uint64_t running_current_ = 0;
  uint64_t running_earlier_ = 0;
};

}  // namespace

void SetLogForwarding(LineFunction function, void* user_data) {
  LogForwarder::Get().Set(function, user_data);
}

}  // namespace logging
