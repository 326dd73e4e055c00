// solvo-support: the library's main jobs on the command line, through its C interface only.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "mesh-files.h"

namespace {

const char kProgramHelp[] =
    "usage: solvo-support COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "Geometry on depth point clouds and triangle meshes with libsolvo_support_api.\n"
    "\n"
    "commands:\n"
    "  simplify IN OUT --faces N          simplify a triangle mesh (PLY, OBJ, OFF)\n"
    "  plane CLOUD --intrinsics ... --touch u,v\n"
    "                                     the plane under a touched pixel\n"
    "  depth CLOUD --intrinsics ... --uv u,v\n"
    "                                     the depth point under a pixel\n"
    "  demo [--out DIR]                   every job on the shipped bunny scan, with a report\n"
    "\n"
    "'solvo-support COMMAND --help' describes a command.\n"
    "Exit status: 0 done; 1 a file could not be read or written, or no answer was found;\n"
    "2 a mistake in the command line. Every command takes --verbose, which shows the\n"
    "library's own log lines on standard error as they arrive.\n";

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
};

constexpr Command kCommands[] = {{"simplify", solvo_cli::RunSimplify},
                                 {"plane", solvo_cli::RunPlane},
                                 {"depth", solvo_cli::RunDepth},
                                 {"demo", solvo_cli::RunDemo}};

// Every failure ends here as one line and a status: the program never ends on an exception.
int Fail(const std::string& command, const std::string& message, int status) {
  std::fflush(stdout);
  std::fprintf(stderr, "solvo-support%s%s: %s\n", command.empty() ? "" : " ", command.c_str(),
               message.c_str());
  return status;
}

// Standard output is written like any other file: a report that did not arrive is no success.
int CheckStandardOutput(const std::string& command) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  return Fail(command, std::string("cannot write standard output: ") + std::strerror(errno), 1);
}

}  // namespace

int main(int argc, char** argv) {
  // Beyond a file-size limit a write then fails with its reason, reported as every failed write
  // is, instead of the signal ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) return Fail("", "missing command (try 'solvo-support --help')", 2);
  const std::string first = argv[1];
  // A mesh file read for this program in a process of its own, before anything else starts.
  if (first == solvo_cli::kImportCommand) return solvo_cli::RunImportCommand(argc, argv);
  if (first == "--help" || first == "-h" || first == "help") {
    std::fputs(kProgramHelp, stdout);
    return CheckStandardOutput("");
  }
  // Lines the library writes before a command has read its words are kept, not shown.
  solvo_cli::ApplyVerbose(false);
  const std::vector<std::string> words(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (first != command.name) continue;
    try {
      const int status = command.run(words);
      return status == 0 ? CheckStandardOutput(first) : status;
    } catch (const solvo_cli::UsageError& error) {
      return Fail(first, std::string(error.what()) + " (see 'solvo-support " + first + " --help')",
                  2);
    } catch (const solvo_cli::InputError& error) {
      return Fail(first, error.what(), 1);
    } catch (const std::bad_alloc&) {
      return Fail(first, "out of memory", 1);
    } catch (const std::exception& error) {
      return Fail(first, error.what(), 1);
    }
  }
  return Fail("", "unknown command '" + first + "' (try 'solvo-support --help')", 2);
}
