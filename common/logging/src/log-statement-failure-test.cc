// A log statement never ends its caller: memory that runs out at any allocation of the first
// line, the one that also starts the logging thread, neither ends the process nor cuts the line.
//
// Each case runs in a process of its own, whose first line it is. The failures are injected by
// the allocation counter (glibc without a sanitizer; elsewhere the cases skip themselves).
#include <gtest/gtest.h>

#include <cstdlib>

#include "logging/log-listener.h"
#include "logging/log-statement.h"
#include "test-support/allocation-counter.h"

namespace {

using test_support::AllocationCounter;

TEST(LogStatementDeathTest, WritesTheFirstLineWhicheverAllocationFails) {
  if (!AllocationCounter::Available()) GTEST_SKIP() << "no allocator to make fail here";
  // The first five requests are the queue, its members and its thread: whichever fails, the
  // line is written whole (on this thread when the logging thread could not start). Later ones
  // hold the line's own text: then the line is lost, never cut. Beyond the requests the line
  // makes, nothing fails.
  for (int n = 1; n <= 16; ++n) {
    EXPECT_EXIT(
        {
          AllocationCounter::FailNthAllocation(n);
          LOG_ERROR() << "written all the same";
          AllocationCounter::FailNthAllocation(0);
          logging::FlushLog();
          std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        n <= 5 ? "^E/solvo: log-statement-failure-test.cc:[0-9]+ written all the same\n$"
               : "^$|^E/solvo: log-statement-failure-test.cc:[0-9]+ written all the same\n$")
        << "the allocation that failed: " << n;
  }
}

}  // namespace
