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

#endif  // defined(__GNUC__) || defined(__clang__)

#endif  // DEPTH_TOOLBOX_FLOAT4_H_
