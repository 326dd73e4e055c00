// Forwarding to one function: the device log's lines and pieces, removal, replacement while a
// call runs, and a function that logs or flushes from inside itself.
#include "logging/log-forwarder.h"

#include <android/log.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/log-listener.h"
#include "logging/log-statement.h"

namespace {

using ::testing::ElementsAre;
using ::testing::SizeIs;

struct ForwardedLine {
  int priority;
  std::string tag;
  std::string text;
  bool operator==(const ForwardedLine& other) const {
    return priority == other.priority && tag == other.tag && text == other.text;
  }
};

// Records what it is given; the logging thread writes, the test reads after a flush.
struct Recorder {
  std::mutex mutex;
  std::vector<ForwardedLine> lines;

  static void Receive(int priority, const char* tag, const char* text, void* user_data) {
    auto* recorder = static_cast<Recorder*>(user_data);
    std::lock_guard<std::mutex> lock(recorder->mutex);
    recorder->lines.push_back({priority, tag, text});
  }
  std::vector<ForwardedLine> Lines() {
    logging::FlushLog();
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }
};

// Forwards to `recorder` for the test's lifetime; stops before the recorder goes.
class ForwardingTo {
 public:
  explicit ForwardingTo(Recorder* recorder) {
    logging::FlushLog();
    logging::SetLogForwarding(&Recorder::Receive, recorder);
  }
  ~ForwardingTo() { logging::SetLogForwarding(nullptr, nullptr); }
};

TEST(SetLogForwarding, HandsOverEachLineWithItsPriorityTagAndDeviceText) {
  Recorder recorder;
  {
    ForwardingTo forwarding(&recorder);
    { logging::LogStatement("/src/plane.cc", 12, logging::kSeverityError).stream() << "e"; }
    { logging::LogStatement("mesh.cc", 3, logging::kSeverityWarning).stream() << "w"; }
    { logging::LogStatement("mesh.cc", 4, logging::kSeverityInfo).stream() << "i"; }
    logging::FlushLog();
  }
  EXPECT_THAT(recorder.Lines(),
              ElementsAre(ForwardedLine{ANDROID_LOG_ERROR, "solvo", "plane.cc:12 e\n"},
                          ForwardedLine{ANDROID_LOG_WARN, "solvo", "mesh.cc:3 w\n"},
                          ForwardedLine{ANDROID_LOG_INFO, "solvo", "mesh.cc:4 i\n"}));
}

TEST(SetLogForwarding, HandsOverALongMessageInTheDeviceLogsPieces) {
  Recorder recorder;
  {
    ForwardingTo forwarding(&recorder);
    // "a.cc:1 " and the final newline make 2500 characters.
    {
      logging::LogStatement("a.cc", 1, logging::kSeverityError).stream() << std::string(2492, 'x');
    }
    { logging::LogStatement("a.cc", 2, logging::kSeverityError).stream() << std::string(991, 'y'); }
    logging::FlushLog();
  }
  const auto lines = recorder.Lines();
  ASSERT_THAT(lines, SizeIs(4));
  EXPECT_EQ(lines[0].text, "a.cc:1 " + std::string(993, 'x'));
  EXPECT_EQ(lines[1].text, std::string(1000, 'x'));
  EXPECT_EQ(lines[2].text, std::string(499, 'x') + "\n");
  EXPECT_EQ(lines[3].text, "a.cc:2 " + std::string(991, 'y') + "\n");  // 999: one line
}

TEST(SetLogForwarding, ForwardsNothingOnceRemoved) {
  Recorder recorder;
  {
    ForwardingTo forwarding(&recorder);
    LOG_ERROR() << "forwarded";
    logging::FlushLog();
  }
  LOG_ERROR() << "not forwarded";
  EXPECT_THAT(recorder.Lines(), SizeIs(1));
}

// Holds the logging thread inside the first call until the replacement has been asked for, and
// watches whether the replacement returns before the call ends.
struct HeldCall {
  std::atomic<bool> entered{false};
  std::atomic<bool> replacing{false};
  std::atomic<bool> replaced{false};
  std::atomic<bool> replaced_while_running{false};

  static void Receive(int, const char*, const char*, void* user_data) {
    auto* held = static_cast<HeldCall*>(user_data);
    if (held->entered.exchange(true)) return;
    while (!held->replacing) std::this_thread::yield();
    // The replacement must still be waiting however long this call takes.
    for (int i = 0; i < 2000; ++i) {
      if (held->replaced) held->replaced_while_running = true;
      std::this_thread::yield();
    }
    if (held->replaced) held->replaced_while_running = true;
  }
};

TEST(SetLogForwarding, ReturnsOnlyOnceNoCallOfTheEarlierFunctionRuns) {
  HeldCall held;
  logging::FlushLog();
  logging::SetLogForwarding(&HeldCall::Receive, &held);
  LOG_ERROR() << "held";
  while (!held.entered) std::this_thread::yield();
  std::thread replacer([&] {
    held.replacing = true;
    logging::SetLogForwarding(nullptr, nullptr);
    held.replaced = true;
  });
  replacer.join();
  EXPECT_FALSE(held.replaced_while_running);
}

// Logs one line of its own and flushes from inside its first call.
struct LoggingFunction {
  std::mutex mutex;
  std::vector<std::string> texts;
  std::atomic<int> calls{0};

  static void Receive(int, const char*, const char* text, void* user_data) {
    auto* self = static_cast<LoggingFunction*>(user_data);
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      self->texts.push_back(text);
    }
    if (self->calls++ == 0) {
      LOG_WARNING() << "from inside";
      logging::FlushLog();                                         // would wait for this very call
      logging::SetLogForwarding(&LoggingFunction::Receive, self);  // nor wait for itself
    }
  }
};

TEST(SetLogForwarding, LetsTheFunctionLogFlushAndReplaceFromInsideItself) {
  LoggingFunction function;
  logging::FlushLog();
  logging::SetLogForwarding(&LoggingFunction::Receive, &function);
  { logging::LogStatement("b.cc", 5, logging::kSeverityError).stream() << "outside"; }
  logging::FlushLog();
  logging::FlushLog();  // the line written from inside follows the one that caused it
  logging::SetLogForwarding(nullptr, nullptr);
  std::lock_guard<std::mutex> lock(function.mutex);
  ASSERT_THAT(function.texts, SizeIs(2));
  EXPECT_EQ(function.texts[0], "b.cc:5 outside\n");
  EXPECT_NE(function.texts[1].find("from inside\n"), std::string::npos);
}

}  // namespace
