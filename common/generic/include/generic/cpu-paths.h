// Lists of CPU-specific implementations of one job, one of which is chosen once, when first used.
//
// A job with fast paths lists every implementation, plainest first and fastest last. The first
// entry runs on every CPU and defines the result; every other entry gives the same result bit for
// bit, only faster, and each module's tests walk its whole list and compare every entry this CPU
// runs with the first. The library uses the last entry whose CPU feature is present, chosen once
// as the list is made. Each list is a function-local static of the function that returns it, made
// on its first use, so that initialisers of other files (a benchmark registering every entry) find
// it made.
//
// Every CPU-specific path of the library:
//
//   job (list)                                  file (common/depth-toolbox/src)   entries
//   nearest projection of a pixel               nearest-projection.cc             one by one,
//     (NearestProjectionScans)                                                    two lanes,
//                                                                                 avx2, avx512f
//   near test of a touch (NearPointMarkers)     near-point-marks.cc               one by one,
//                                                                                 two lanes,
//                                                                                 avx2, avx512f
//   box around a run of points                  block-box.cc                      one by one,
//     (BlockBoxImplementations)                                                   four lanes, avx2
//   scatter sums of a plane fit                 scatter-sums.cc                   one by one, avx2
//     (AddScatterImplementations)
//   gathering the points that pass an inlier    passing-points.cc                 one by one,
//     test (GatherPassingImplementations)                                         avx512f
//
// "Lanes" entries use the compilers' vector extensions (GCC and Clang), which carry out each
// operation lane by lane exactly as on scalars; where the target has no vector unit the compiler
// does the lanes one by one, so these entries build everywhere. "avx2" and "avx512f" entries are
// compiled for x86-64 only, each function with its own target attribute, so that the rest of the
// library keeps the baseline instruction set; vectors never cross a function boundary by value,
// so code compiled for different instruction sets shares one calling convention.
//
// Compilers:
// - GCC compiles every entry. The nearest projection's lane entries need x86-64 or AArch64;
//   every other lane entry builds for any target GCC or Clang vectorises (32-bit ARM included).
// - Clang refuses vectors wider than the baseline's registers in functions that are not compiled
//   for a wider target, which the near test's shared templates are: with Clang the near test has
//   no avx2/avx512f entries and the 512-bit gather is left out (their plain entries run instead).
//   Clang builds every other entry, the nearest projection's 512-bit lanes included (reading their
//   masks without asm). The fuzz build uses Clang, the test variants GCC.
// - -ffp-contract=off is set for the whole build: no entry may fuse a product and a sum into one
//   differently rounded instruction, even where its target offers it.
//
// Inline asm, where it is used, changes no result: point-groups.h keeps a shuffled group of
// points in one register (GCC otherwise traces every lane back to memory and loads each on its
// own); nearest-projection.cc reads a comparison's lanes as bits with movmskpd and, for 512-bit
// lanes, straight from the mask register (GCC would first turn the mask into a vector). The
// 512-bit gather uses the instruction set's compress through its intrinsics.
#ifndef GENERIC_CPU_PATHS_H_
#define GENERIC_CPU_PATHS_H_

#include <initializer_list>
#include <vector>

namespace generic {

// What an entry needs of the CPU beyond the build's baseline.
enum class CpuFeature { kNone, kAvx2, kAvx512f };

// Whether this CPU has `feature`; kNone always. Safe to call from load-time initializers.
bool CpuHas(CpuFeature feature);

template <typename Function>
struct CpuPath {
  const char* name;
  CpuFeature feature;
  Function function;

  bool RunsHere() const { return CpuHas(feature); }
};

template <typename Function>
class CpuPaths {
 public:
  // `paths`: plainest first, fastest last; the first must need no feature.
  CpuPaths(std::initializer_list<CpuPath<Function>> paths) : paths_(paths) {
    chosen_ = paths_.front().function;
    for (const CpuPath<Function>& path : paths_) {
      if (path.RunsHere()) chosen_ = path.function;
    }
  }

  // The fastest entry this CPU runs.
  Function chosen() const { return chosen_; }
  // Every entry, plainest first, whether this CPU runs it or not.
  const std::vector<CpuPath<Function>>& all() const { return paths_; }
  // The plain entry, which defines the result.
  Function plain() const { return paths_.front().function; }

 private:
  std::vector<CpuPath<Function>> paths_;
  Function chosen_;
};

}  // namespace generic

#endif  // GENERIC_CPU_PATHS_H_
