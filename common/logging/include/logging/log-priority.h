// The device log priority of a severity: fatal 7, error 6, warning 5, info 4, verbose 3 and 2.
#ifndef LOGGING_LOG_PRIORITY_H_
#define LOGGING_LOG_PRIORITY_H_

namespace logging {

int AndroidPriority(int severity);

}  // namespace logging

#endif  // LOGGING_LOG_PRIORITY_H_
