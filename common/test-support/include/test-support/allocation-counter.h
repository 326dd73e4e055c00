// Benchmark and test support: the bytes the process holds through malloc, and their peak.
#ifndef TEST_SUPPORT_ALLOCATION_COUNTER_H_
#define TEST_SUPPORT_ALLOCATION_COUNTER_H_

#include <cstdint>

namespace test_support {

// Counts every block from malloc and its relatives (so also operator new and aligned element
// allocations) by usable size, and can make one of them fail. Counting replaces the C library's
// allocation entry points, which needs glibc and no sanitizer (a sanitizer's allocator aborts
// instead of failing); elsewhere Available() is false, the figures stay 0 and nothing fails.
class AllocationCounter {
 public:
  static bool Available();
  static int64_t Current();
  static int64_t Peak();
  // Starts a new peak at the current figure.
  static void ResetPeak();

  // Makes the `n`-th allocation this thread asks for from now on (1: the next) fail as if memory
  // had run out, and every later one succeed again; 0 disarms. Other threads are not affected.
  static void FailNthAllocation(int64_t n);
  // Whether the allocation armed by the last FailNthAllocation has failed.
  static bool AllocationFailed();
};

}  // namespace test_support

#endif  // TEST_SUPPORT_ALLOCATION_COUNTER_H_
