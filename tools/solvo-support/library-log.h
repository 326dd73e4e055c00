// The library's log lines, received through its log callback: kept to explain a failure in the
// program's own one-line error, counted when they warn of repaired input, and shown as they
// arrive only when asked (--verbose).
#ifndef SOLVO_SUPPORT_TOOL_LIBRARY_LOG_H_
#define SOLVO_SUPPORT_TOOL_LIBRARY_LOG_H_

#include <string>

namespace solvo_cli {

// Registers the program's callback; with `show`, every later library line also goes to standard
// error as the device log shows it ("W/solvo: <line>").
void ReceiveLibraryLog(bool show);

// ": " and the message of the library's newest error line (its source position and function
// signature left out), or "" when there is none: the calling thread's last error text when the
// call that failed was this thread's last, else the newest error line delivered from any thread.
std::string LibraryReason();

// The warning lines the library delivered since the last call (faces it dropped, vertices it
// split while repairing an input mesh), once every earlier line has been delivered.
int TakeLibraryWarnings();

// The message part of a library line: "plane.cc:12 SolvoErrorType F(int, float*) x is nullptr."
// gives "x is nullptr.". Lines in another form come back whole.
std::string LibraryMessage(const std::string& line);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_LIBRARY_LOG_H_
