// The inner sums of the least-squares plane fit, in every implementation this CPU can run.
#include "scatter-sums.h"

#include <cstring>

#include "point-groups.h"

namespace depth_toolbox {
namespace {

constexpr int kLanes = kScatterLanes;

void AddScatterOneByOne(const float* x, const float* y, const float* z, Eigen::Index count,
                        const float* m, float (*sums)[kLanes]) {
  // Locals, so that the sums stay in registers.
  float s[6][kLanes];
  std::memcpy(s, sums, sizeof s);
  const float m_x = m[0];
  const float m_y = m[1];
  const float m_z = m[2];
  for (Eigen::Index k = 0; k < count; k += kLanes) {
    for (int lane = 0; lane < kLanes; ++lane) {
      const float c_x = x[k + lane] - m_x;
      const float c_y = y[k + lane] - m_y;
      const float c_z = z[k + lane] - m_z;
      s[0][lane] += c_x * c_x;
      s[1][lane] += c_x * c_y;
      s[2][lane] += c_x * c_z;
      s[3][lane] += c_y * c_y;
      s[4][lane] += c_y * c_z;
      s[5][lane] += c_z * c_z;
    }
  }
  std::memcpy(sums, s, sizeof s);
}

#if DEPTH_TOOLBOX_HAS_LANES && defined(__x86_64__)
typedef float Float8 __attribute__((vector_size(32)));

// AddScatterOneByOne with the kLanes lanes on one 256-bit register each, lane by lane the same
// operations.
__attribute__((target("avx2"))) void AddScatterAvx2(const float* x, const float* y, const float* z,
                                                    Eigen::Index count, const float* m,
                                                    float (*sums)[kLanes]) {
  static_assert(kLanes == 8, "one register per sum");
  Float8 s[6];
  std::memcpy(s, sums, sizeof s);
  const Float8 m_x = Float8{} + m[0];
  const Float8 m_y = Float8{} + m[1];
  const Float8 m_z = Float8{} + m[2];
  for (Eigen::Index k = 0; k < count; k += kLanes) {
    Float8 c_x, c_y, c_z;
    std::memcpy(&c_x, x + k, sizeof c_x);
    std::memcpy(&c_y, y + k, sizeof c_y);
    std::memcpy(&c_z, z + k, sizeof c_z);
    c_x -= m_x;
    c_y -= m_y;
    c_z -= m_z;
    s[0] += c_x * c_x;
    s[1] += c_x * c_y;
    s[2] += c_x * c_z;
    s[3] += c_y * c_y;
    s[4] += c_y * c_z;
    s[5] += c_z * c_z;
  }
  std::memcpy(sums, s, sizeof s);
}
#endif

}  // namespace

// Built on its first use, so that it is there for the initialisers of other files as well
// (a benchmark lists the entries before main).
const generic::CpuPaths<AddScatterFunction>& AddScatterImplementations() {
  static const generic::CpuPaths<AddScatterFunction> paths = {
    {"one by one", generic::CpuFeature::kNone, AddScatterOneByOne},
#if DEPTH_TOOLBOX_HAS_LANES && defined(__x86_64__)
    {"avx2", generic::CpuFeature::kAvx2, AddScatterAvx2},
#endif
  };
  return paths;
}

}  // namespace depth_toolbox
