// The one way an exported function reports a bad argument or a failed step: a single error line.
#ifndef SOLVO_SUPPORT_API_ARGUMENT_CHECK_H_
#define SOLVO_SUPPORT_API_ARGUMENT_CHECK_H_

#include <cstring>
#include <string>
#include <type_traits>

#include "solvo_support_api.h"

namespace solvo_support_api {

// Writes one error line: `signature` (the exported function's signature text) directly followed
// by `message`, which begins with a blank or a colon.
void LogSignatureError(const char* file, int line, const char* signature,
                       const std::string& message);

// Writes the error line and returns SOLVO_STATUS_BAD_ARGUMENT.
SolvoErrorType RejectArgument(const char* file, int line, const char* signature,
                              const std::string& message);

// The int behind an enumeration argument or field. A C application may pass any int there, while
// C++ may load an enumeration only within its enumerators' range: read the bytes, never the enum.
template <typename Enum>
int EnumValue(const Enum& value) {
  static_assert(std::is_enum<Enum>::value && sizeof(Enum) == sizeof(int), "an int-sized enum");
  int raw;
  std::memcpy(&raw, &value, sizeof raw);
  return raw;
}

}  // namespace solvo_support_api

// return SOLVO_REJECT(kSignature, " point_cloud is nullptr.");
#define SOLVO_REJECT(signature, message) \
  ::solvo_support_api::RejectArgument(__FILE__, __LINE__, signature, message)

// SOLVO_LOG_SIGNATURE_ERROR(kSignature, ": could not calculate pose data ...");
#define SOLVO_LOG_SIGNATURE_ERROR(signature, message) \
  ::solvo_support_api::LogSignatureError(__FILE__, __LINE__, signature, message)

#endif  // SOLVO_SUPPORT_API_ARGUMENT_CHECK_H_
