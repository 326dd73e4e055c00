// The depth of exported calls on each thread, and the start of a new outermost one.
#include "exported-call.h"

#include "logging/last-error-text.h"

namespace solvo_support_api {
namespace {

thread_local int call_depth = 0;

}  // namespace

ExportedCall::ExportedCall() {
  if (call_depth++ == 0) logging::ClearLastErrorText();
}

ExportedCall::~ExportedCall() { --call_depth; }

}  // namespace solvo_support_api
