// The version the library reports, and the descriptions of its statuses.
#include <gtest/gtest.h>

#include <string>

#include "solvo_support_api.h"
#include "test-support/c-application-calls.h"

namespace {

TEST(GetVersionString, GivesTheProjectVersionThatTheMacrosCarry) {
  EXPECT_STREQ(SolvoSupport_getVersionString(), SOLVO_PROJECT_VERSION);
  EXPECT_EQ(SolvoSupport_getVersionString(), std::to_string(SOLVO_SUPPORT_VERSION_MAJOR) + "." +
                                                 std::to_string(SOLVO_SUPPORT_VERSION_MINOR) + "." +
                                                 std::to_string(SOLVO_SUPPORT_VERSION_PATCH));
}

TEST(GetStatusString, DescribesEachStatusAndNoOtherValue) {
  EXPECT_STREQ(SolvoSupport_getStatusString(SOLVO_STATUS_OK), "success");
  EXPECT_STREQ(SolvoSupport_getStatusString(SOLVO_STATUS_FAILED),
               "failed: the arguments were acceptable but the work found no answer");
  EXPECT_STREQ(SolvoSupport_getStatusString(SOLVO_STATUS_BAD_ARGUMENT),
               "bad argument: an argument check failed");
  for (int other : {1, -3, 7, -2147483647 - 1}) {
    EXPECT_STREQ(CallGetStatusString(other), "unknown status") << other;
  }
}

}  // namespace
