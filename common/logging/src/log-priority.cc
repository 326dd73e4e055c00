// The device log priority of a severity.
#include "logging/log-priority.h"

#include <algorithm>

namespace logging {

int AndroidPriority(int severity) {
  static constexpr int kPriorities[6] = {7, 6, 5, 4, 3, 2};
  return severity < -2 ? kPriorities[0] : kPriorities[std::min(severity, 2) + 3];
}

}  // namespace logging
