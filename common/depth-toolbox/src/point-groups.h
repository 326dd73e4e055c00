// Groups of points stored x, y, z one after another, split into one float vector per coordinate.
#ifndef DEPTH_TOOLBOX_POINT_GROUPS_H_
#define DEPTH_TOOLBOX_POINT_GROUPS_H_

#include <cstdint>
#include <cstring>

// GCC and Clang vector extensions: each operation is carried out lane by lane exactly as on
// scalars, so results match scalar code bit for bit. Where the target has no vector unit for
// floats the compiler carries the lanes out one by one.
#if defined(__GNUC__) || defined(__clang__)
#define DEPTH_TOOLBOX_HAS_LANES 1

namespace depth_toolbox {
namespace point_groups {

typedef float Floats4 __attribute__((vector_size(16)));
typedef int32_t Ints4 __attribute__((vector_size(16)));
typedef float Floats8 __attribute__((vector_size(32)));
typedef float Floats16 __attribute__((vector_size(64)));

// GCC would otherwise trace every lane of a shuffled load back to memory and load it on its own.
// Clang checks the register's size in the template, compiled for no particular instruction set,
// and keeps the vector by itself; elsewhere the lanes are plain values.
template <typename Vector>
inline __attribute__((always_inline)) void KeepInRegister(Vector* vector) {
#if !defined(__clang__) && defined(__x86_64__)
  asm("" : "+x"(*vector));
#elif !defined(__clang__) && defined(__aarch64__)
  asm("" : "+w"(*vector));
#else
  (void)vector;
#endif
}

// Four points are three loads: x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3. Every shuffle takes two
// lanes of its first operand and then two of its second, the one shape of two-register shuffle
// that plain x86-64 (SSE2) does in one instruction.
inline __attribute__((always_inline)) void SplitFourPoints(const float* p, Floats4* x, Floats4* y,
                                                           Floats4* z) {
  Floats4 a, b, c;
  std::memcpy(&a, p, sizeof a);
  std::memcpy(&b, p + 4, sizeof b);
  std::memcpy(&c, p + 8, sizeof c);
  const Floats4 x2y2x3y3 = __builtin_shufflevector(b, c, 2, 3, 5, 6);
  const Floats4 y0z0y1z1 = __builtin_shufflevector(a, b, 1, 2, 4, 5);
  *x = __builtin_shufflevector(a, x2y2x3y3, 0, 3, 4, 6);
  *y = __builtin_shufflevector(y0z0y1z1, x2y2x3y3, 0, 2, 5, 7);
  *z = __builtin_shufflevector(y0z0y1z1, c, 1, 3, 4, 7);
  KeepInRegister(x);
  KeepInRegister(y);
  KeepInRegister(z);
}

// Eight points are 24 floats, read as two overlapping loads of 16 so that nothing past the
// eighth point is touched.
inline __attribute__((always_inline)) void SplitEightPoints(const float* p, Floats8* x, Floats8* y,
                                                            Floats8* z) {
  Floats16 a, b;  // floats 0 to 15 and 8 to 23
  std::memcpy(&a, p, sizeof a);
  std::memcpy(&b, p + 8, sizeof b);
  *x = __builtin_shufflevector(a, b, 0, 3, 6, 9, 12, 15, 18 + 8, 21 + 8);
  *y = __builtin_shufflevector(a, b, 1, 4, 7, 10, 13, 16 + 8, 19 + 8, 22 + 8);
  *z = __builtin_shufflevector(a, b, 2, 5, 8, 11, 14, 17 + 8, 20 + 8, 23 + 8);
  KeepInRegister(x);
  KeepInRegister(y);
  KeepInRegister(z);
}

// Sixteen points are three loads of sixteen floats, each coordinate gathered from the first two
// and then completed from the third.
inline __attribute__((always_inline)) void SplitSixteenPoints(const float* p, Floats16* x,
                                                              Floats16* y, Floats16* z) {
  Floats16 a, b, c;  // floats 0-15, 16-31 and 32-47 of x0 y0 z0 x1 ...
  std::memcpy(&a, p, sizeof a);
  std::memcpy(&b, p + 16, sizeof b);
  std::memcpy(&c, p + 32, sizeof c);
  const Floats16 x_ab =
      __builtin_shufflevector(a, b, 0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 0, 0, 0, 0, 0);
  const Floats16 y_ab =
      __builtin_shufflevector(a, b, 1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 0, 0, 0, 0, 0);
  const Floats16 z_ab =
      __builtin_shufflevector(a, b, 2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 0, 0, 0, 0, 0, 0);
  *x = __builtin_shufflevector(x_ab, c, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 20, 23, 26, 29);
  *y = __builtin_shufflevector(y_ab, c, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18, 21, 24, 27, 30);
  *z = __builtin_shufflevector(z_ab, c, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 19, 22, 25, 28, 31);
}

}  // namespace point_groups
}  // namespace depth_toolbox

#endif  // defined(__GNUC__) || defined(__clang__)

#endif  // DEPTH_TOOLBOX_POINT_GROUPS_H_
