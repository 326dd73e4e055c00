// The simplifier's queue of candidate contractions: a binary min-heap of small entries and one
// candidate slot per edge that tells which entries went stale.
#ifndef MESH_TOOLBOX_CANDIDATE_QUEUE_H_
#define MESH_TOOLBOX_CANDIDATE_QUEUE_H_

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "table-allocator.h"

namespace mesh_toolbox {

// One edge's current candidate, kept by value: where the surviving vertex goes and the stamp of
// the heap entry that carries its cost.
struct CandidateSlot {
  Eigen::Vector3d position = Eigen::Vector3d::Zero();
  uint32_t stamp = 0;
  bool present = false;  // the edge has a candidate
  bool valid = false;    // ... that has not gone stale
};

// The binary min-heap of candidates by cost, with strict comparisons and no second key, so that
// candidates of equal cost leave in the order these rules give. An entry names its candidate by
// edge id and stamp instead of holding it. Entry i of the heap is stored at index i + 1: the two
// children of a node then share a cache line, and its four grandchildren fill exactly one, which
// is fetched while the children are compared.
class CandidateHeap {
 public:
  struct Entry {
    double cost;
    uint32_t edge_id;
    uint32_t stamp;
  };
  static_assert(sizeof(Entry) == 16, "four entries to a cache line");

  CandidateHeap() : items_(1) {}
  void reserve(size_t n) { items_.reserve(n + 1); }
  bool empty() const { return items_.size() == 1; }
  void clear() { items_.resize(1); }

  void Push(const Entry& entry) {
    // Stale entries pile up while the simplifier runs: grow by a quarter rather than doubling,
    // which would briefly hold three times the entries.
    if (items_.size() == items_.capacity()) items_.reserve(items_.size() + items_.size() / 4);
    items_.push_back(entry);
    size_t child = items_.size() - 2;
    while (child > 0) {
      const size_t parent = (child - 1) / 2;
      if (!(At(child).cost < At(parent).cost)) break;
      std::swap(At(child), At(parent));
      child = parent;
    }
  }

  Entry Pop() {
    const Entry top = At(0);
    At(0) = items_.back();
    items_.pop_back();
    const size_t n = items_.size() - 1;
    size_t node = 0;
    for (;;) {
      const size_t left = 2 * node + 1;
      const size_t right = left + 1;
      if (4 * node + 3 < n) __builtin_prefetch(&At(4 * node + 3));
      size_t smallest = node;
      if (left < n && At(left).cost < At(smallest).cost) smallest = left;
      if (right < n && At(right).cost < At(smallest).cost) smallest = right;
      if (smallest == node) break;
      std::swap(At(node), At(smallest));
      node = smallest;
    }
    return top;
  }

 private:
  Entry& At(size_t i) { return items_[i + 1]; }

  std::vector<Entry, TableAllocator<Entry>> items_;
};

// One candidate slot per edge id; every assignment gets a fresh stamp for the entry it pushes.
// A heap entry is stale exactly when its edge's slot has been reassigned since, or cleared.
class CandidateTable {
 public:
  explicit CandidateTable(uint32_t n_edges) : slots_(n_edges) {}

  // Makes (position, cost) the edge's candidate and queues it.
  void Assign(uint32_t edge_id, const Eigen::Vector3d& position, double cost, CandidateHeap* heap) {
    CandidateSlot& slot = slots_[edge_id];
    slot = {position, ++last_stamp_, true, true};
    heap->Push({cost, edge_id, last_stamp_});
  }
  // The edge has no candidate any more.
  void Remove(uint32_t edge_id) {
    slots_[edge_id].present = false;
    slots_[edge_id].stamp = ++last_stamp_;
  }
  void Invalidate(uint32_t edge_id) {
    if (slots_[edge_id].present) slots_[edge_id].valid = false;
  }

  // The candidate a heap entry was pushed for, or nullptr when it went stale.
  const CandidateSlot* Current(const CandidateHeap::Entry& entry) const {
    const CandidateSlot& slot = slots_[entry.edge_id];
    if (!slot.present || slot.stamp != entry.stamp || !slot.valid) return nullptr;
    return &slot;
  }

 private:
  std::vector<CandidateSlot> slots_;
  uint32_t last_stamp_ = 0;
};

}  // namespace mesh_toolbox

#endif  // MESH_TOOLBOX_CANDIDATE_QUEUE_H_
