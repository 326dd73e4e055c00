// Decoding, error-line counting and checks shared by the fuzz targets.
#include "fuzz-support.h"

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "logging/log-listener.h"

namespace {

constexpr int kErrorPriority = 6;  // the device log's error priority

std::atomic<int> error_lines{0};

template <typename Real>
Real PickReal(FuzzedDataProvider* input) {
  using Limits = std::numeric_limits<Real>;
  switch (input->ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return Limits::quiet_NaN();
    case 1:
      return Limits::infinity();
    case 2:
      return -Limits::infinity();
    case 3:
      return Limits::max();
    case 4:
      return Limits::lowest();
    case 5:
      return Limits::denorm_min();
    case 6:
      return Limits::min();
    case 7:
      return -Real{0};
    case 8:
    case 9:
      return static_cast<Real>(input->ConsumeIntegralInRange<int>(-4, 4));
    case 10:
    case 11:
      // Tenths: near-equal values, points a hair off a plane.
      return static_cast<Real>(input->ConsumeIntegralInRange<int>(-40, 40)) / Real{10};
    default: {
      Real value = 0;
      for (size_t k = 0; k < sizeof(Real); ++k) {
        const auto byte = input->ConsumeIntegral<uint8_t>();
        std::memcpy(reinterpret_cast<unsigned char*>(&value) + k, &byte, 1);
      }
      return value;
    }
  }
}

}  // namespace

// The library reaches the device log through the dynamic linker, so this definition receives its
// lines: count the error lines, and drop the text unless SOLVO_FUZZ_LOG is set (to see why a
// saved input fails). Fatal messages reach standard error on their own.
extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
  if (prio == kErrorPriority) error_lines.fetch_add(1, std::memory_order_relaxed);
  static const bool show = std::getenv("SOLVO_FUZZ_LOG") != nullptr;
  if (show) {
    std::va_list args;
    va_start(args, fmt);
    std::fprintf(stderr, "%d/%s: ", prio, tag);
    std::vfprintf(stderr, fmt, args);
    std::fputc('\n', stderr);
    va_end(args);
  }
  return 0;
}

namespace solvo_fuzz {

float PickFloat(FuzzedDataProvider* input) { return PickReal<float>(input); }

double PickDouble(FuzzedDataProvider* input) { return PickReal<double>(input); }

bool IsTame(double value, double limit) {
  return std::isfinite(value) && std::fabs(value) <= limit;
}

int TakeErrorLines() {
  logging::FlushLog();
  return error_lines.exchange(0, std::memory_order_relaxed);
}

void Check(bool condition, const char* text, const char* file, int line) {
  if (condition) return;
  std::fprintf(stderr, "%s:%d: output check failed: %s\n", file, line, text);
  std::abort();
}

void CheckStatusAndLines(SolvoErrorType status, bool quiet_otherwise, const char* file, int line) {
  Check(status == SOLVO_STATUS_OK || status == SOLVO_STATUS_FAILED ||
            status == SOLVO_STATUS_BAD_ARGUMENT,
        "status is one of the three documented values", file, line);
  const int lines = TakeErrorLines();
  if (status == SOLVO_STATUS_BAD_ARGUMENT) {
    Check(lines == 1, "a refused argument is reported in exactly one error line", file, line);
  } else if (quiet_otherwise) {
    Check(lines == 0, "a call that was not refused writes no error line", file, line);
  }
}

}  // namespace solvo_fuzz
