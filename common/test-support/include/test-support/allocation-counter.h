// Benchmark and test support: the bytes the process holds through malloc, and their peak.
#ifndef TEST_SUPPORT_ALLOCATION_COUNTER_H_
#define TEST_SUPPORT_ALLOCATION_COUNTER_H_

#include <cstdint>

namespace test_support {

// Counts every block from malloc and its relatives (so also operator new and aligned element
// allocations) by usable size. Counting replaces the C library's allocation entry points, which
// needs glibc and no sanitizer; elsewhere Available() is false and the figures stay 0.
class AllocationCounter {
 public:
  static bool Available();
  static int64_t Current();
  static int64_t Peak();
  // Starts a new peak at the current figure.
  static void ResetPeak();
};

}  // namespace test_support

#endif  // TEST_SUPPORT_ALLOCATION_COUNTER_H_
