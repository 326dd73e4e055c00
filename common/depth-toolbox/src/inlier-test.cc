// The inlier test of a plane: the bound that decides it without a division.
#include "inlier-test.h"

#include <limits>

namespace depth_toolbox {
namespace {

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

float BitsFloat(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

}  // namespace

InlierTest MakeInlierTest(const geometry_toolbox::PlaneModel& plane_model, double threshold) {
  InlierTest test;
  test.a = static_cast<float>(plane_model.a());
  test.b = static_cast<float>(plane_model.b());
  test.c = static_cast<float>(plane_model.c());
  test.d = static_cast<float>(plane_model.d());
  const float length = std::sqrt(test.c * test.c + test.b * test.b + test.a * test.a);
  const auto passes = [length, threshold](uint32_t magnitude_bits) {
    return static_cast<double>(BitsFloat(magnitude_bits) / length) < threshold;
  };
  // A correctly rounded quotient never decreases as the dividend grows, and +inf never passes
  // (inf / length is inf or NaN): the passing magnitudes form [0, bound). The bit patterns of
  // non-negative floats are ordered as their values, so bound is found by bisection on them.
  uint32_t lowest_failing = FloatBits(std::numeric_limits<float>::infinity());
  uint32_t lowest_unknown = 0;
  while (lowest_unknown < lowest_failing) {
    const uint32_t middle = lowest_unknown + (lowest_failing - lowest_unknown) / 2;
    if (passes(middle)) {
      lowest_unknown = middle + 1;
    } else {
      lowest_failing = middle;
    }
  }
  test.bound = BitsFloat(lowest_failing);
  return test;
}

}  // namespace depth_toolbox
