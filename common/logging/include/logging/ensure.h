// Checks of internal invariants: a broken one writes a fatal line and ends the process.
#ifndef LOGGING_ENSURE_H_
#define LOGGING_ENSURE_H_

#include "logging/log-statement.h"

namespace logging {

// Ends the process with "'<expression>' Must be non NULL" when `pointer` is null.
template <typename T>
T&& EnsureNotNull(const char* file, int line, const char* message, T&& pointer) {
  if (pointer == nullptr) {
    LogStatement(file, line, kSeverityFatal).stream() << message;
  }
  return std::forward<T>(pointer);
}

}  // namespace logging

// ENSURE(begin_line < end_line) << "more text"; writes "Check failed: begin_line < end_line more
// text" and ends the process when the condition is false. The dangling else keeps it one statement.
#define ENSURE(condition)                                                           \
  if (condition) {                                                                  \
  } else                                                                            \
    ::logging::LogStatement(__FILE__, __LINE__, ::logging::kSeverityFatal).stream() \
        << "Check failed: " #condition " "

// Yields `pointer`; ends the process with "'pointer' Must be non NULL" when it is null.
#define ENSURE_NOT_NULL(pointer) \
  ::logging::EnsureNotNull(__FILE__, __LINE__, "'" #pointer "' Must be non NULL", (pointer))

#endif  // LOGGING_ENSURE_H_
