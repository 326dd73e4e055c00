// Exported functions that hand the library's log lines to the application: the callback, the
// flush, and the calling thread's last error text.
#include "argument-check.h"
#include "logging/last-error-text.h"
#include "logging/log-forwarder.h"
#include "logging/log-listener.h"
#include "solvo_support_api.h"

namespace {

constexpr char kSetLogCallbackSignature[] =
    "SolvoErrorType SolvoSupport_setLogCallback(SolvoSupportLogCallback, void*)";
constexpr char kFlushLogSignature[] = "SolvoErrorType SolvoSupport_flushLog()";

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_setLogCallback(SolvoSupportLogCallback callback, void* user_data) {
  return SOLVO_GUARDED(kSetLogCallbackSignature, [&]() -> SolvoErrorType {
    logging::SetLogForwarding(callback, user_data);
    return SOLVO_STATUS_OK;
  });
}

SolvoErrorType SolvoSupport_flushLog(void) {
  return SOLVO_GUARDED(kFlushLogSignature, [&]() -> SolvoErrorType {
    logging::FlushLog();
    return SOLVO_STATUS_OK;
  });
}

// Reads the text and starts no call: it describes the call before it.
const char* SolvoSupport_getLastErrorText(void) { return logging::LastErrorText(); }

}  // extern "C"
