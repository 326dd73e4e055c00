// Log statements: exact texts and order, splitting of long messages, fatal checks, exit drain.
#include "logging/log-statement.h"

#include <android/log.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/ensure.h"
#include "logging/log-capture.h"
#include "logging/log-listener.h"

namespace {

struct DeviceLine {
  int priority;
  std::string tag;
  std::string text;
};

std::mutex device_mutex;
std::vector<DeviceLine> device_lines;

std::vector<DeviceLine> TakeDeviceLines() {
  logging::FlushLog();
  std::lock_guard<std::mutex> lock(device_mutex);
  std::vector<DeviceLine> taken;
  taken.swap(device_lines);
  return taken;
}

}  // namespace

// This program's own device log: the library reaches it through the dynamic linker, so it sees
// every line the logging thread writes. It also forwards them to standard error.
extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char buffer[4096];
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  {
    std::lock_guard<std::mutex> lock(device_mutex);
    device_lines.push_back({prio, tag, buffer});
  }
  return __android_log_write(prio, tag, buffer);
}

namespace {

using ::testing::ElementsAre;
using ::testing::SizeIs;
using ::testing::StartsWith;

// Writes a message whose whole text, prefix and final newline included, is `length` characters.
void LogMessageOfLength(size_t length) {
  logging::LogStatement statement(__FILE__, __LINE__, logging::kSeverityError);
  std::ostream& stream = statement.stream();
  const auto written = static_cast<size_t>(stream.tellp());
  stream << std::string(length - 1 - written, 'x');
}

std::vector<size_t> PieceLengths(const std::vector<DeviceLine>& lines) {
  std::vector<size_t> lengths;
  for (const DeviceLine& line : lines) lengths.push_back(line.text.size());
  return lengths;
}

TEST(LogStatement, PrefixesTheBaseFileNameAndLine) {
  TakeDeviceLines();
  { logging::LogStatement("/a/b/plane-fitting.cc", 42, logging::kSeverityError).stream() << "x"; }
  { logging::LogStatement("plain.cc", 7, logging::kSeverityWarning).stream() << "y"; }
  const auto lines = TakeDeviceLines();
  ASSERT_THAT(lines, SizeIs(2));
  EXPECT_EQ(lines[0].text, "plane-fitting.cc:42 x\n");
  EXPECT_EQ(lines[0].priority, ANDROID_LOG_ERROR);
  EXPECT_EQ(lines[0].tag, "solvo");
  EXPECT_EQ(lines[1].text, "plain.cc:7 y\n");
  EXPECT_EQ(lines[1].priority, ANDROID_LOG_WARN);
}

TEST(LogStatement, KeepsTheOrderInWhichMessagesWereFinished) {
  logging::LogCapture capture;
  LOG_ERROR() << "first " << 1;
  LOG_WARNING() << "second";
  LOG_INFO() << "third";
  const auto lines = capture.Lines();
  ASSERT_THAT(lines, SizeIs(3));
  EXPECT_EQ(lines[0].text, "first 1");
  EXPECT_EQ(lines[0].severity, logging::kSeverityError);
  EXPECT_EQ(lines[1].text, "second");
  EXPECT_EQ(lines[2].text, "third");
  EXPECT_EQ(lines[2].severity, logging::kSeverityInfo);
}

TEST(LogStatement, WritesMessagesUnder1000CharactersAsOneLine) {
  TakeDeviceLines();
  LogMessageOfLength(999);
  EXPECT_THAT(PieceLengths(TakeDeviceLines()), ElementsAre(999u));
}

TEST(LogStatement, SplitsLongMessagesInto1000CharacterPieces) {
  TakeDeviceLines();
  LogMessageOfLength(1000);
  EXPECT_THAT(PieceLengths(TakeDeviceLines()), ElementsAre(1000u));
  LogMessageOfLength(2000);
  EXPECT_THAT(PieceLengths(TakeDeviceLines()), ElementsAre(1000u, 1000u));
  LogMessageOfLength(2500);
  const auto pieces = TakeDeviceLines();
  EXPECT_THAT(PieceLengths(pieces), ElementsAre(1000u, 1000u, 500u));
  EXPECT_THAT(pieces[0].text, StartsWith("log-statement-test.cc:"));
  EXPECT_EQ(pieces[2].text.back(), '\n');
}

TEST(LogStatement, TreatsSeveritiesBelowFatalAsFatalPriorityWithoutEnding) {
  TakeDeviceLines();
  { logging::LogStatement(__FILE__, __LINE__, -4).stream() << "below fatal"; }
  const auto lines = TakeDeviceLines();
  ASSERT_THAT(lines, SizeIs(1));
  EXPECT_EQ(lines[0].priority, ANDROID_LOG_FATAL);
}

TEST(LogStatement, DeliversEveryLineOfConcurrentWriters) {
  logging::LogCapture capture;
  constexpr int kThreads = 4;
  constexpr int kLinesPerThread = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLinesPerThread; ++i) LOG_INFO() << "thread " << t << " line " << i;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_THAT(capture.Lines(), SizeIs(kThreads * kLinesPerThread));
}

TEST(LogStatementDeathTest, WritesLinesQueuedJustBeforeExit) {
  EXPECT_EXIT(
      {
        for (int i = 0; i < 500; ++i) LOG_ERROR() << "queued line " << i;
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "queued line 499\n");
}

TEST(LogStatementDeathTest, AForkedChildWritesItsOwnLinesAndExits) {
  LOG_INFO() << "before the fork";
  logging::FlushLog();
  const pid_t child = fork();
  if (child == 0) {
    TakeDeviceLines();
    LOG_ERROR() << "from the child";
    const auto lines = TakeDeviceLines();
    const bool written =
        lines.size() == 1 && lines[0].text.find("from the child") != std::string::npos;
    std::exit(written ? 0 : 3);  // exit handlers run: the stop must not wait for a thread
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(EnsureDeathTest, WritesTheConditionAndExtraTextAndEnds) {
  const int begin_line = 5;
  const int end_line = 3;
  EXPECT_DEATH(ENSURE(begin_line < end_line) << "Unsupported image format: " << 7,
               "Check failed: begin_line < end_line Unsupported image format: 7");
}

TEST(EnsureDeathTest, NamesTheNullPointer) {
  const int* solvo_hal_cloud = nullptr;
  EXPECT_DEATH(ENSURE_NOT_NULL(solvo_hal_cloud), "'solvo_hal_cloud' Must be non NULL");
}

TEST(Ensure, YieldsTheNonNullPointerAndPassesTrueConditions) {
  int value = 3;
  int* pointer = &value;
  EXPECT_EQ(ENSURE_NOT_NULL(pointer), &value);
  ENSURE(value == 3) << "never written";
}

}  // namespace
