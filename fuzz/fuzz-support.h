// What every fuzz target shares: decoding of awkward numbers, the error-line count, output checks.
#ifndef SOLVO_FUZZ_FUZZ_SUPPORT_H_
#define SOLVO_FUZZ_FUZZ_SUPPORT_H_

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "solvo_support_api.h"

namespace solvo_fuzz {

// A float that is often one an application should not send: NaN, infinities, the largest and
// smallest magnitudes, signed zeros; else a small integer or the raw bits of four input bytes.
float PickFloat(FuzzedDataProvider* input);
double PickDouble(FuzzedDataProvider* input);

// True when `value` is finite and no larger in magnitude than `limit`: arithmetic on such inputs
// neither overflows nor loses every digit, so its results are owed finite.
bool IsTame(double value, double limit = 1e6);

// Error lines (tag "solvo") written since the previous call, counted once every line logged
// before this call has been written.
int TakeErrorLines();

// Ends the run with the failed condition when `condition` is false: a wrong output is a finding
// just as a crash is.
void Check(bool condition, const char* text, const char* file, int line);

// A status must be one of the three documented values; BAD_ARGUMENT comes with exactly one error
// line; when `quiet_otherwise`, no other status comes with any.
void CheckStatusAndLines(SolvoErrorType status, bool quiet_otherwise, const char* file, int line);

}  // namespace solvo_fuzz

#define FUZZ_CHECK(condition) ::solvo_fuzz::Check((condition), #condition, __FILE__, __LINE__)
#define FUZZ_CHECK_STATUS(status) \
  ::solvo_fuzz::CheckStatusAndLines((status), true, __FILE__, __LINE__)
#define FUZZ_CHECK_STATUS_MAY_LOG(status) \
  ::solvo_fuzz::CheckStatusAndLines((status), false, __FILE__, __LINE__)

#endif  // SOLVO_FUZZ_FUZZ_SUPPORT_H_
