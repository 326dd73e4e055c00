// Exported functions that describe the library itself: its version and its status codes.
#include "argument-check.h"
#include "exported-call.h"
#include "solvo_support_api.h"

#define SOLVO_SUPPORT_TEXT(x) #x
#define SOLVO_SUPPORT_VERSION_TEXT(major, minor, patch) \
  SOLVO_SUPPORT_TEXT(major) "." SOLVO_SUPPORT_TEXT(minor) "." SOLVO_SUPPORT_TEXT(patch)

namespace {

constexpr char kVersion[] = SOLVO_SUPPORT_VERSION_TEXT(
    SOLVO_SUPPORT_VERSION_MAJOR, SOLVO_SUPPORT_VERSION_MINOR, SOLVO_SUPPORT_VERSION_PATCH);

}  // namespace

extern "C" {

const char* SolvoSupport_getVersionString(void) {
  const solvo_support_api::ExportedCall call;
  return kVersion;
}

const char* SolvoSupport_getStatusString(SolvoErrorType status) {
  const solvo_support_api::ExportedCall call;
  // A C application may pass any int: compare the value, never switch on the enumeration.
  switch (solvo_support_api::EnumValue(status)) {
    case SOLVO_STATUS_OK:
      return "success";
    case SOLVO_STATUS_FAILED:
      return "failed: the arguments were acceptable but the work found no answer";
    case SOLVO_STATUS_BAD_ARGUMENT:
      return "bad argument: an argument check failed";
    default:
      return "unknown status";
  }
}

}  // extern "C"
