// Fetching the fans around a few vertices ahead of the walks that read them.
#ifndef MESH_TOOLBOX_FAN_PREFETCH_H_
#define MESH_TOOLBOX_FAN_PREFETCH_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "halfedge-mesh/halfedge-mesh.h"

namespace mesh_toolbox {

// A walk around a vertex follows one link at a time, and on a large mesh nearly every link is a
// cache miss of its own. The fans of different vertices are independent, though: advanced side
// by side here, one link per fan and round, their misses overlap instead of queueing, and the
// walks that follow find the half-edges, faces and corner vertices in the cache. Only reads
// pointers; a fan that ends at a boundary, or is longer than a walk would go, simply stops.
class FanPrefetcher {
 public:
  void Add(const halfedge_mesh::Vertex* vertex) {
    if (count_ == kMaxFans) return;
    __builtin_prefetch(vertex);
    vertices_[count_++] = vertex;
  }

  void Run() {
    using halfedge_mesh::Halfedge;
    const Halfedge* start[kMaxFans];
    const Halfedge* out[kMaxFans];
    for (size_t k = 0; k < count_; ++k) {
      start[k] = out[k] = vertices_[k]->out_halfedge().get();
      if (out[k] != nullptr) __builtin_prefetch(out[k]);
    }
    const Halfedge* in[kMaxFans];
    for (uint32_t round = 0; round < kMaxRounds; ++round) {
      bool any = false;
      for (size_t k = 0; k < count_; ++k) {
        in[k] = out[k] != nullptr ? out[k]->prev_halfedge().get() : nullptr;
        if (in[k] != nullptr) __builtin_prefetch(in[k]);
      }
      for (size_t k = 0; k < count_; ++k) {
        if (in[k] == nullptr) {
          out[k] = nullptr;
          continue;
        }
        __builtin_prefetch(in[k]->adjacent_face().get());
        __builtin_prefetch(in[k]->from_vertex().get());
        const Halfedge* next = in[k]->opposite_halfedge().get();
        out[k] = next == start[k] ? nullptr : next;
        if (out[k] != nullptr) {
          __builtin_prefetch(out[k]);
          any = true;
        }
      }
      if (!any) break;
    }
    count_ = 0;
  }

 private:
  static constexpr size_t kMaxFans = 24;
  static constexpr uint32_t kMaxRounds = 16;
  const halfedge_mesh::Vertex* vertices_[kMaxFans];
  size_t count_ = 0;
};

}  // namespace mesh_toolbox

#endif  // MESH_TOOLBOX_FAN_PREFETCH_H_
