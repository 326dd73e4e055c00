// The library's log lines, received through its log callback: kept to explain a failure in the
// program's own one-line error, counted when they warn of repaired input, and shown as they
// arrive only when asked (--verbose).
#include "library-log.h"

#include <solvo_support_api.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <mutex>

namespace solvo_cli {
namespace {

// The library may still deliver lines while the program's statics are being destroyed at exit:
// this state is never destroyed.
struct LogState {
  std::mutex mutex;
  std::string newest_error;  // the newest error line not reported yet, "" when none
  std::atomic<int> warnings{0};
  std::atomic<bool> show{false};
};

LogState& State() {
  static LogState* state = new LogState();
  return *state;
}

// The device log's priorities.
constexpr int kWarningPriority = 5;
constexpr int kErrorPriority = 6;

char PriorityLetter(int priority) {
  static const char kLetters[] = "??VDIWEF";
  return priority >= 0 && priority <= 7 ? kLetters[priority] : '?';
}

// Runs on the library's logging thread; `text` ends with the line's newline.
void ReceiveLine(int priority, const char* tag, const char* text, void*) {
  LogState& state = State();
  if (state.show) std::fprintf(stderr, "%c/%s: %s", PriorityLetter(priority), tag, text);
  if (priority == kWarningPriority) ++state.warnings;
  if (priority >= kErrorPriority) {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.newest_error = text;
  }
}

}  // namespace

void ReceiveLibraryLog(bool show) {
  State().show = show;
  SolvoSupport_setLogCallback(&ReceiveLine, nullptr);
}

std::string LibraryReason() {
  std::string line = SolvoSupport_getLastErrorText();
  // SolvoSupport_flushLog would forget this thread's text: read it first.
  SolvoSupport_flushLog();
  LogState& state = State();
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (line.empty()) line = state.newest_error;
    state.newest_error.clear();
  }
  if (line.empty()) return "";
  std::string message = LibraryMessage(line);
  while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
  return message.empty() ? "" : ": " + message;
}

int TakeLibraryWarnings() {
  SolvoSupport_flushLog();
  return State().warnings.exchange(0);
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

// On a desktop the device log's stand-in writes every line to standard error. The library reaches
// its print function through the dynamic linker, so this definition takes the lines instead and
// drops them: the callback above shows them when asked (declared here: the log's header is not
// part of the installed interface).
extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...)
    __attribute__((visibility("default"), format(printf, 3, 4)));

extern "C" int __android_log_print(int, const char*, const char*, ...) { return 0; }
