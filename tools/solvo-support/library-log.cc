// The library's log lines, received by this program in place of the device log: kept to explain
// a failure in the program's own one-line error, and shown as they arrive only when asked.
#include "library-log.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>

namespace solvo_cli {
namespace {

// The library's logging thread may still deliver lines while the program's statics are being
// destroyed at exit: this state is never destroyed.
struct LogState {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::string> errors;  // error lines not reported yet, the newest last
  std::atomic<bool> show{false};
};

LogState& State() {
  static LogState* state = new LogState();
  return *state;
}

constexpr int kErrorPriority = 6;  // the device log's priority for error lines

}  // namespace

void ShowLibraryLog(bool show) { State().show = show; }

std::string LibraryReason() {
  LogState& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  state.arrived.wait_for(lock, std::chrono::milliseconds(250),
                         [&] { return !state.errors.empty(); });
  if (state.errors.empty()) return "";
  std::string message = LibraryMessage(state.errors.back());
  state.errors.clear();
  while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
  return message.empty() ? "" : ": " + message;
}

std::string LibraryMessage(const std::string& line) {
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  // The source position: "name.cc:123 ".
  const size_t blank = text.find(' ');
  const size_t colon = text.find(':');
  if (blank != std::string::npos && colon != std::string::npos && colon < blank &&
      colon + 1 < blank && std::isdigit(static_cast<unsigned char>(text[colon + 1]))) {
    text = text.substr(blank + 1);
  }
  // The signature of the function the application called, up to its balanced parameter list.
  const std::string kReturnType = "SolvoErrorType ";
  if (text.compare(0, kReturnType.size(), kReturnType) != 0) return text;
  const size_t open = text.find('(');
  if (open == std::string::npos) return text;
  int depth = 0;
  for (size_t i = open; i < text.size(); ++i) {
    if (text[i] == '(') ++depth;
    if (text[i] == ')' && --depth == 0) {
      size_t start = i + 1;
      while (start < text.size() && (text[start] == ' ' || text[start] == ':')) ++start;
      return text.substr(start);
    }
  }
  return text;
}

}  // namespace solvo_cli

// The library reaches the device log's print function through the dynamic linker, so this
// definition receives its lines instead of the log library's (declared here: the log's header
// is not part of the installed interface).
extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...)
    __attribute__((visibility("default"), format(printf, 3, 4)));

extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, fmt);
  const int length = std::vsnprintf(buffer, sizeof buffer, fmt != nullptr ? fmt : "", args);
  va_end(args);
  if (length < 0) return length;
  std::string line(buffer);
  while (!line.empty() && line.back() == '\n') line.pop_back();
  solvo_cli::LogState& state = solvo_cli::State();
  if (state.show) std::fprintf(stderr, "%s: %s\n", tag != nullptr ? tag : "", line.c_str());
  if (prio >= solvo_cli::kErrorPriority) {
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      state.errors.push_back(line);
      if (state.errors.size() > 16) state.errors.pop_front();
    }
    state.arrived.notify_all();
  }
  return length;
}
