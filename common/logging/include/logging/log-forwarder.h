// Forwards every delivered log line to one replaceable function, as the device log receives it.
#ifndef LOGGING_LOG_FORWARDER_H_
#define LOGGING_LOG_FORWARDER_H_

namespace logging {

// Receives one device log line: its priority (7 fatal down to 2 verbose), the tag, and the text
// the device log is given, "<base file>:<line> " prefix and final newline included.
using LineFunction = void (*)(int priority, const char* tag, const char* text, void* user_data);

// Makes `function` receive, with `user_data`, every line written to the device log from now on
// (a message of kDeviceLogPieceLength characters or more as the same pieces, one call each), on
// the thread that writes it; nullptr stops the forwarding. Fatal messages end the process
// without being forwarded. Returns once no call of an earlier function is still running on
// another thread; called from inside such a call, it does not wait for the call it is in.
void SetLogForwarding(LineFunction function, void* user_data);

}  // namespace logging

#endif  // LOGGING_LOG_FORWARDER_H_
