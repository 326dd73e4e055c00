// Marks the run of one exported function on the calling thread.
#ifndef SOLVO_SUPPORT_API_EXPORTED_CALL_H_
#define SOLVO_SUPPORT_API_EXPORTED_CALL_H_

namespace solvo_support_api {

// Declared first in every exported function but SolvoSupport_getLastErrorText: the outermost one
// on a thread forgets the thread's last error line, so that the text SolvoSupport_getLastErrorText
// gives always comes from the most recent call the application made. Exported functions that
// call each other, and calls an application makes from inside a progress callback, belong to
// the outer call.
class ExportedCall {
 public:
  ExportedCall();
  ~ExportedCall();
  ExportedCall(const ExportedCall&) = delete;
  ExportedCall& operator=(const ExportedCall&) = delete;
};

}  // namespace solvo_support_api

#endif  // SOLVO_SUPPORT_API_EXPORTED_CALL_H_
