// The words of one subcommand split into positional arguments and options, and strict numbers.
#ifndef SOLVO_SUPPORT_TOOL_ARGUMENTS_H_
#define SOLVO_SUPPORT_TOOL_ARGUMENTS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace solvo_cli {

// A mistake in the command line itself; the program exits with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that cannot be read or written, or work that found no answer; exit status 1.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Arguments {
 public:
  // `flags` are options without a value (--quiet), `valued` take the next word (--faces 100) or
  // an attached one (--faces=100). Anything else starting with "--" is refused.
  Arguments(const std::vector<std::string>& words, const std::set<std::string>& flags,
            const std::set<std::string>& valued);

  bool Has(const std::string& name) const { return given_.count(name) != 0; }
  std::optional<std::string> Value(const std::string& name) const;
  // The value of a required option; refused with a usage error when absent.
  std::string Required(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }
  // Exactly `count` positional arguments, named by `names` ("IN OUT") for the error message.
  void ExpectPositional(size_t count, const std::string& names) const;

 private:
  std::map<std::string, std::string> given_;
  std::vector<std::string> positional_;
};

// `count` finite numbers separated by commas or blanks, e.g. "520,520,320,240,640,480".
// `what` names the option in the error: "bad --touch 'x': expected 2 numbers".
std::vector<double> ParseNumbers(const std::string& text, size_t count, const std::string& what);

// A whole number in [1, 2^32 - 1].
uint32_t ParseCount(const std::string& text, const std::string& what);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_ARGUMENTS_H_
