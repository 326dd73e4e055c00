// Test entry point. Death tests re-run the program by default, since forking beside the logging
// thread is unsafe. Under user-mode emulation the re-run cannot start (the kernel cannot execute
// the target's binaries itself), so there the environment selects the forking style instead:
// GTEST_DEATH_TEST_STYLE=fast. A forked child writes its own log lines on its own thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (std::getenv("GTEST_DEATH_TEST_STYLE") == nullptr) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
  // After the default, so that --gtest_death_test_style on the command line still wins.
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
