// The subcommands of solvo-support: each takes the words after its name and returns the exit
// status; mistakes are thrown as UsageError, unreadable files and failed work as InputError.
#ifndef SOLVO_SUPPORT_TOOL_COMMANDS_H_
#define SOLVO_SUPPORT_TOOL_COMMANDS_H_

#include <string>
#include <vector>

namespace solvo_cli {

extern const char kSimplifyHelp[];
extern const char kPlaneHelp[];
extern const char kDepthHelp[];
extern const char kDemoHelp[];

// What the commands share. With `verbose` (--verbose) the library's own log lines go to standard
// error as they arrive; they are received, counted and kept for error messages either way.
void ApplyVerbose(bool verbose);
// Fixes the plane fit's random generator to the seed `text` (--seed N), so that one cloud gives
// one plane on every run; throws UsageError for anything but a whole number 0 to 2147483647.
void FixPlaneFitSeed(const std::string& text);

int RunSimplify(const std::vector<std::string>& words);
int RunPlane(const std::vector<std::string>& words);
int RunDepth(const std::vector<std::string>& words);
int RunDemo(const std::vector<std::string>& words);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_COMMANDS_H_
