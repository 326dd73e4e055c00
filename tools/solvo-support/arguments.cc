// The words of one subcommand split into positional arguments and options, and strict numbers.
#include "arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace solvo_cli {

Arguments::Arguments(const std::vector<std::string>& words, const std::set<std::string>& flags,
                     const std::set<std::string>& valued) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    // A lone "-" or a negative number is a positional word, not an option.
    if (word.size() < 2 || word[0] != '-' || (word[1] != '-' && word != "-h")) {
      positional_.push_back(word);
      continue;
    }
    std::string name = word == "-h" ? "--help" : word;
    std::optional<std::string> attached;
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      attached = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (flags.count(name)) {
      if (attached) throw UsageError(name + " takes no value");
      given_[name] = "";
    } else if (valued.count(name)) {
      if (attached) {
        given_[name] = *attached;
      } else if (i + 1 < words.size()) {
        given_[name] = words[++i];
      } else {
        throw UsageError(name + " needs a value");
      }
    } else {
      throw UsageError("unknown option " + name);
    }
  }
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  const auto found = given_.find(name);
  if (found == given_.end()) return std::nullopt;
  return found->second;
}

std::string Arguments::Required(const std::string& name) const {
  const auto value = Value(name);
  if (!value) throw UsageError("missing " + name);
  return *value;
}

void Arguments::ExpectPositional(size_t count, const std::string& names) const {
  if (positional_.size() < count) throw UsageError("missing arguments: expected " + names);
  if (positional_.size() > count) {
    throw UsageError("unexpected argument '" + positional_[count] + "' (expected " + names + ")");
  }
}

std::vector<double> ParseNumbers(const std::string& text, size_t count, const std::string& what) {
  const std::string expected = "bad " + what + " '" + text + "': expected " +
                               std::to_string(count) + (count == 1 ? " number" : " numbers");
  std::vector<double> numbers;
  size_t position = 0;
  const auto is_separator = [](char c) { return c == ',' || c == ' ' || c == '\t'; };
  while (position < text.size()) {
    while (position < text.size() && is_separator(text[position])) ++position;
    if (position == text.size()) break;
    size_t end = position;
    while (end < text.size() && !is_separator(text[end])) ++end;
    const std::string word = text.substr(position, end - position);
    char* parsed_end = nullptr;
    errno = 0;
    const double value = std::strtod(word.c_str(), &parsed_end);
    if (parsed_end != word.c_str() + word.size() || errno == ERANGE || !std::isfinite(value)) {
      throw UsageError(expected);
    }
    numbers.push_back(value);
    position = end;
  }
  if (numbers.size() != count) throw UsageError(expected);
  return numbers;
}

uint32_t ParseCount(const std::string& text, const std::string& what) {
  const std::string message = "bad " + what + " '" + text + "': expected a whole number from 1";
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError(message);
  }
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE || value == 0 || value > UINT32_MAX) throw UsageError(message);
  return static_cast<uint32_t>(value);
}

}  // namespace solvo_cli
