// The inner sums of the least-squares plane fit, in every implementation this CPU can run.
#ifndef DEPTH_TOOLBOX_SCATTER_SUMS_H_
#define DEPTH_TOOLBOX_SCATTER_SUMS_H_

#include <Eigen/Core>

#include "generic/cpu-paths.h"

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

// Every implementation, plainest first; the fits use the chosen one. They differ in speed only,
// never in the sums.
const generic::CpuPaths<AddScatterFunction>& AddScatterImplementations();

// The running sums of one fit, added to by the chosen implementation.
struct ScatterSums {
  float sums[6][kScatterLanes] = {};

  void Add(const float* x, const float* y, const float* z, Eigen::Index count, float m_x, float m_y,
           float m_z) {
    const float m[3] = {m_x, m_y, m_z};
    AddScatterImplementations().chosen()(x, y, z, count, m, sums);
  }
};

}  // namespace depth_toolbox

#endif  // DEPTH_TOOLBOX_SCATTER_SUMS_H_
