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

int RunSimplify(const std::vector<std::string>& words);
int RunPlane(const std::vector<std::string>& words);
int RunDepth(const std::vector<std::string>& words);
int RunDemo(const std::vector<std::string>& words);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_COMMANDS_H_
