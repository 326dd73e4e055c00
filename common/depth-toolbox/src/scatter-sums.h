// The inner sums of the least-squares plane fit, in every implementation this CPU can run.
#ifndef DEPTH_TOOLBOX_SCATTER_SUMS_H_
#define DEPTH_TOOLBOX_SCATTER_SUMS_H_

#include <Eigen/Core>
#include <vector>

namespace depth_toolbox {

// The scatter matrix is summed in kScatterLanes interleaved partial sums, lane = point ordinal
// modulo kScatterLanes, combined pairwise at the end: a fixed order that runs on vector registers.
constexpr int kScatterLanes = 8;

// Adds to sums[0..5][lane] (for xx, xy, xz, yy, yz, zz) the products of the centred coordinates
// of the `count` points at x, y, z (a multiple of kScatterLanes, the first of them at an ordinal
// that is one too), centred on m[0..2]. Single precision, each lane in point order.
using AddScatterFunction = void (*)(const float* x, const float* y, const float* z,
                                    Eigen::Index count, const float* m,
                                    float (*sums)[kScatterLanes]);

struct AddScatterImplementation {
  const char* name;
  AddScatterFunction add;
};

// Fastest first; the fits use the first. They differ in speed only, never in the sums.
std::vector<AddScatterImplementation> AddScatterImplementations();

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_SCATTER_SUMS_H_
