// The thread's last error line: set by error lines only, cleared on demand, per thread.
#include "logging/last-error-text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "logging/log-statement.h"

namespace {

TEST(LastErrorText, KeepsTheNewestErrorLineWithoutPrefixOrNewline) {
  logging::ClearLastErrorText();
  EXPECT_STREQ(logging::LastErrorText(), "");
  { logging::LogStatement("/x/y/plane.cc", 1234, logging::kSeverityError).stream() << "first"; }
  { logging::LogStatement("plane.cc", 7, logging::kSeverityError).stream() << " second: 2"; }
  LOG_WARNING() << "a warning";
  LOG_INFO() << "some information";
  EXPECT_STREQ(logging::LastErrorText(), " second: 2");
  logging::ClearLastErrorText();
  EXPECT_STREQ(logging::LastErrorText(), "");
}

TEST(LastErrorText, BelongsToTheThreadThatWroteTheLine) {
  logging::ClearLastErrorText();
  std::string seen_there;
  std::thread other([&] {
    LOG_ERROR() << "on the other thread";
    seen_there = logging::LastErrorText();
  });
  other.join();
  EXPECT_EQ(seen_there, "on the other thread");
  EXPECT_STREQ(logging::LastErrorText(), "");
}

TEST(LastErrorText, CutsATextLongerThanItsRoom) {
  const std::string long_text(logging::kLastErrorTextCapacity + 10, 'x');
  logging::SetLastErrorText(long_text.data(), long_text.size());
  EXPECT_EQ(std::string(logging::LastErrorText()),
            long_text.substr(0, logging::kLastErrorTextCapacity));
  logging::ClearLastErrorText();
}

}  // namespace
