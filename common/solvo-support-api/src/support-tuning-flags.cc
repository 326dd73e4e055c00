// Exported functions that set and read the library's seven tuning flags by name.
#include <gflags/gflags.h>

#include <cmath>
#include <cstring>
#include <string>

#include "argument-check.h"
#include "generic/random_generator_provider.h"
#include "mesh-toolbox/mesh-toolbox.h"
#include "solvo_support_api.h"

namespace {

constexpr char kSetSignature[] =
    "SolvoErrorType SolvoSupport_setTuningFlag(const char*, const char*)";
constexpr char kGetSignature[] =
    "SolvoErrorType SolvoSupport_getTuningFlag(const char*, char*, size_t)";

bool IsNumber(double value) { return !std::isnan(value); }

// A NaN or infinite factor of the edge length turns costs into NaN (0 times infinity), and the
// queue of candidates can no longer order them.
bool IsFinite(double value) { return std::isfinite(value); }

// The simplifier checks that every shape weight, this value included, is not negative.
bool IsNonNegative(double value) { return value >= 0.0; }

// One flag the application may set. Where the flags library parses values the library cannot
// use, `usable` tells them apart, and `variable` lets a refused value be undone.
struct TuningFlag {
  const char* name;
  double* variable;
  bool (*usable)(double value);
};

const TuningFlag kTuningFlags[] = {
    {"random_generator_use_random_seed", nullptr, nullptr},
    {"random_generator_seed", nullptr, nullptr},
    {"merge_vertices_k_neighbors", nullptr, nullptr},
    {"max_mesh_angle_cos", &FLAGS_max_mesh_angle_cos, IsNumber},
    {"mesh_edge_length_weight", &FLAGS_mesh_edge_length_weight, IsFinite},
    {"mesh_max_angle_normal_weight", &FLAGS_mesh_max_angle_normal_weight, IsNonNegative},
    {"min_mesh_normal_flip_cos", &FLAGS_min_mesh_normal_flip_cos, IsNumber},
};

// The library's flag of that name: never one of the flags library's own (such as flagfile,
// which reads a file and ends the process when it cannot), nor another program's.
const TuningFlag* FindTuningFlag(const char* name) {
  for (const TuningFlag& flag : kTuningFlags) {
    if (std::strcmp(flag.name, name) == 0) return &flag;
  }
  return nullptr;
}

std::string UnknownName(const char* name) {
  return std::string(" no tuning flag is named '") + name + "'.";
}

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_setTuningFlag(const char* name, const char* value) {
  return SOLVO_GUARDED(kSetSignature, [&]() -> SolvoErrorType {
    if (name == nullptr) return SOLVO_REJECT(kSetSignature, " name is nullptr.");
    if (value == nullptr) return SOLVO_REJECT(kSetSignature, " value is nullptr.");
    const TuningFlag* flag = FindTuningFlag(name);
    if (flag == nullptr) return SOLVO_REJECT(kSetSignature, UnknownName(name));
    const double before = flag->variable != nullptr ? *flag->variable : 0.0;
    // The flags library parses the value, and leaves the flag as it was when it cannot.
    bool accepted = !gflags::SetCommandLineOption(name, value).empty();
    if (accepted && flag->usable != nullptr && !flag->usable(*flag->variable)) {
      *flag->variable = before;
      accepted = false;
    }
    if (!accepted) {
      return SOLVO_REJECT(kSetSignature,
                          std::string(" '") + value + "' is not a valid value of " + name + ".");
    }
    return SOLVO_STATUS_OK;
  });
}

SolvoErrorType SolvoSupport_getTuningFlag(const char* name, char* value, size_t value_size) {
  return SOLVO_GUARDED(kGetSignature, [&]() -> SolvoErrorType {
    if (name == nullptr) return SOLVO_REJECT(kGetSignature, " name is nullptr.");
    if (value == nullptr) return SOLVO_REJECT(kGetSignature, " value is nullptr.");
    if (FindTuningFlag(name) == nullptr) return SOLVO_REJECT(kGetSignature, UnknownName(name));
    std::string text;
    gflags::GetCommandLineOption(name, &text);
    const size_t needed = text.size() + 1;
    if (value_size < needed) {
      return SOLVO_REJECT(kGetSignature,
                          " value_size is too small (" + std::to_string(needed) + " needed).");
    }
    std::memcpy(value, text.c_str(), needed);
    return SOLVO_STATUS_OK;
  });
}

}  // extern "C"
