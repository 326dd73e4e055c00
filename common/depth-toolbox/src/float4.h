// Four floats on one vector register, for the point scans that run once per point per candidate.
#ifndef DEPTH_TOOLBOX_FLOAT4_H_
#define DEPTH_TOOLBOX_FLOAT4_H_

#include <cstdint>
#include <cstring>

// GCC and Clang vector extensions: each operation is carried out lane by lane exactly as on
// scalars, so results match scalar code bit for bit. Where the target has no vector unit for
// floats the compiler carries the lanes out one by one.
#if defined(__GNUC__) || defined(__clang__)
#define DEPTH_TOOLBOX_HAS_FLOAT4 1

namespace depth_toolbox {

typedef float Float4 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));

inline Float4 LoadFloat4(const float* values) {
  Float4 vector;
  std::memcpy(&vector, values, sizeof(vector));
  return vector;
}

// Lane by lane `value < bound ? value : bound` and `value > bound ? value : bound`: a NaN value
// leaves the bound as it is. One instruction each where the target has them.
inline Float4 Min(Float4 value, Float4 bound) { return value < bound ? value : bound; }
inline Float4 Max(Float4 value, Float4 bound) { return value > bound ? value : bound; }

}  // namespace depth_toolbox

#if defined(__clang__)
#define DEPTH_TOOLBOX_SHUFFLE4(a, b, i, j, k, l) __builtin_shufflevector(a, b, i, j, k, l)
#else
#define DEPTH_TOOLBOX_SHUFFLE4(a, b, i, j, k, l) \
  __builtin_shuffle(a, b, ::depth_toolbox::Int4{i, j, k, l})
#endif

namespace depth_toolbox {

// Four points stored x, y, z one after another, split into one register per coordinate. Every
// step takes two lanes of its first operand and then two of its second, the one shape of
// two-register shuffle that plain x86-64 (SSE2) does in one instruction.
inline void LoadFourPoints(const float* xyz, Float4* x, Float4* y, Float4* z) {
  const Float4 v0 = LoadFloat4(xyz);                              // x0 y0 z0 x1
  const Float4 v1 = LoadFloat4(xyz + 4);                          // y1 z1 x2 y2
  const Float4 v2 = LoadFloat4(xyz + 8);                          // z2 x3 y3 z3
  const Float4 x23 = DEPTH_TOOLBOX_SHUFFLE4(v1, v2, 2, 2, 5, 5);  // x2 x2 x3 x3
  *x = DEPTH_TOOLBOX_SHUFFLE4(v0, x23, 0, 3, 4, 6);
  const Float4 y01 = DEPTH_TOOLBOX_SHUFFLE4(v0, v1, 1, 1, 4, 4);  // y0 y0 y1 y1
  const Float4 y23 = DEPTH_TOOLBOX_SHUFFLE4(v1, v2, 3, 3, 6, 6);  // y2 y2 y3 y3
  *y = DEPTH_TOOLBOX_SHUFFLE4(y01, y23, 0, 2, 4, 6);
  const Float4 z01 = DEPTH_TOOLBOX_SHUFFLE4(v0, v1, 2, 2, 5, 5);  // z0 z0 z1 z1
  *z = DEPTH_TOOLBOX_SHUFFLE4(z01, v2, 0, 2, 4, 7);
}

}  // namespace depth_toolbox

#endif  // defined(__GNUC__) || defined(__clang__)

#endif  // DEPTH_TOOLBOX_FLOAT4_H_
