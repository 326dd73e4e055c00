// Times one call in this thread's CPU time, for benchmarks that compare ours with a baseline.
#ifndef BENCHMARK_SUPPORT_THREAD_CPU_TIME_H_
#define BENCHMARK_SUPPORT_THREAD_CPU_TIME_H_

#include <time.h>

namespace benchmark_support {

// CPU time of this thread: the machine may be shared, and time another process runs on this
// core is neither ours nor the baseline's.
inline double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

template <typename Work>
double SecondsFor(Work&& work) {
  const double start = ThreadSeconds();
  work();
  return ThreadSeconds() - start;
}

}  // namespace benchmark_support

#endif  // BENCHMARK_SUPPORT_THREAD_CPU_TIME_H_
