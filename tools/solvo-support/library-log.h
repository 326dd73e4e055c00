// The library's log lines, received by this program in place of the device log: kept to explain
// a failure in the program's own one-line error, and shown as they arrive only when asked.
#ifndef SOLVO_SUPPORT_TOOL_LIBRARY_LOG_H_
#define SOLVO_SUPPORT_TOOL_LIBRARY_LOG_H_

#include <string>

namespace solvo_cli {

// With `show`, every later library line goes to standard error as "solvo: <line>".
void ShowLibraryLog(bool show);

// ": " and the message of the library's newest error line not reported yet (its source position
// and function signature left out), or "" when none arrives within a quarter of a second: the
// library delivers its lines from a thread of its own.
std::string LibraryReason();

// The message part of a library line: "plane.cc:12 SolvoErrorType F(int, float*) x is nullptr."
// gives "x is nullptr.". Lines in another form come back whole.
std::string LibraryMessage(const std::string& line);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_LIBRARY_LOG_H_
