// Groups of points stored x, y, z one after another, split into one float vector per coordinate.
#ifndef SOLVO_SUPPORT_API_POINT_GROUPS_H_
#define SOLVO_SUPPORT_API_POINT_GROUPS_H_

#include <cstring>

namespace solvo_support_api {
namespace point_groups {

typedef float Floats4 __attribute__((vector_size(16)));
typedef float Floats8 __attribute__((vector_size(32)));
typedef float Floats16 __attribute__((vector_size(64)));

// GCC would otherwise trace every lane of a shuffled load back to memory and load it on its own.
// Clang checks the register's size in the template, compiled for no particular instruction set,
// and keeps the vector by itself.
template <typename Vector>
inline __attribute__((always_inline)) void KeepInRegister(Vector* vector) {
#if defined(__clang__)
  (void)vector;
#elif defined(__x86_64__)
  asm("" : "+x"(*vector));
#else
  asm("" : "+w"(*vector));
#endif
}

// Four points are three loads: x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3.
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

}  // namespace point_groups
}  // namespace solvo_support_api

#endif  // SOLVO_SUPPORT_API_POINT_GROUPS_H_
