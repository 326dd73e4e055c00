// The severity to device priority table, including the levels outside the library's use.
#include "logging/log-priority.h"

#include <gtest/gtest.h>

namespace {

TEST(AndroidPriority, MapsEverySeverityToItsDevicePriority) {
  EXPECT_EQ(logging::AndroidPriority(-100), 7);
  EXPECT_EQ(logging::AndroidPriority(-3), 7);
  EXPECT_EQ(logging::AndroidPriority(-2), 6);
  EXPECT_EQ(logging::AndroidPriority(-1), 5);
  EXPECT_EQ(logging::AndroidPriority(0), 4);
  EXPECT_EQ(logging::AndroidPriority(1), 3);
  EXPECT_EQ(logging::AndroidPriority(2), 2);
  EXPECT_EQ(logging::AndroidPriority(9), 2);
}

}  // namespace
