// The CPU features the library's fast paths look for: the one place that asks the CPU.
#include "generic/cpu-paths.h"

namespace generic {

bool CpuHas(CpuFeature feature) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  // The lists are made by load-time initializers, which may run before the runtime's own.
  __builtin_cpu_init();
  switch (feature) {
    case CpuFeature::kNone:
      return true;
    case CpuFeature::kAvx2:
      return __builtin_cpu_supports("avx2");
    case CpuFeature::kAvx512f:
      return __builtin_cpu_supports("avx512f");
  }
  return false;
#else
  return feature == CpuFeature::kNone;
#endif
}

}  // namespace generic
