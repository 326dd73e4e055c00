// The one way an exported function reports a bad argument or a failed step (a single error line),
// and the guard that keeps every exception inside the library.
#ifndef SOLVO_SUPPORT_API_ARGUMENT_CHECK_H_
#define SOLVO_SUPPORT_API_ARGUMENT_CHECK_H_

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "exported-call.h"
#include "solvo_support_api.h"

namespace solvo_support_api {

// Writes one error line: `signature` (the exported function's signature text) directly followed
// by `message`, which begins with a blank or a colon.
void LogSignatureError(const char* file, int line, const char* signature,
                       const std::string& message);

// Writes the error line and returns SOLVO_STATUS_BAD_ARGUMENT.
SolvoErrorType RejectArgument(const char* file, int line, const char* signature,
                              const std::string& message);

// Writes "<signature> could not allocate memory." when `signature` is not null. Never throws: when
// even that line cannot be had, nothing is written.
void LogAllocationFailure(const char* file, int line, const char* signature) noexcept;

// Runs `body`, the whole of an exported function, as one ExportedCall, so that nothing it
// throws reaches the caller, who may be C and cannot catch anything: memory that cannot be had
// ends the call with SOLVO_STATUS_FAILED and LogAllocationFailure's line; anything else thrown
// (a mutex that cannot be locked) ends it with SOLVO_STATUS_FAILED alone.
template <typename Body>
SolvoErrorType Guarded(const char* file, int line, const char* signature, Body&& body) noexcept {
  const ExportedCall call;
  try {
    return body();
  } catch (const std::bad_alloc&) {
    LogAllocationFailure(file, line, signature);
  } catch (const std::length_error&) {
    LogAllocationFailure(file, line, signature);
  } catch (...) {
  }
  return SOLVO_STATUS_FAILED;
}

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

// return SOLVO_GUARDED(kSignature, [&] { ...the function's checks and work... });
#define SOLVO_GUARDED(signature, ...) \
  ::solvo_support_api::Guarded(__FILE__, __LINE__, signature, __VA_ARGS__)

// SOLVO_LOG_SIGNATURE_ERROR(kSignature, ": could not calculate pose data ...");
#define SOLVO_LOG_SIGNATURE_ERROR(signature, message) \
  ::solvo_support_api::LogSignatureError(__FILE__, __LINE__, signature, message)

#endif  // SOLVO_SUPPORT_API_ARGUMENT_CHECK_H_
