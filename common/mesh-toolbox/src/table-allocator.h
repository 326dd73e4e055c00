// Storage for the simplifier's tables, aligned to cache lines.
#ifndef MESH_TOOLBOX_TABLE_ALLOCATOR_H_
#define MESH_TOOLBOX_TABLE_ALLOCATOR_H_

#include <cstddef>
#include <new>

namespace mesh_toolbox {

// Cache-line-aligned storage, so that the heap can place sibling entries in one line.
template <typename T>
struct TableAllocator {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{64};
  TableAllocator() = default;
  template <typename U>
  explicit TableAllocator(const TableAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kAlignment)); }
  void deallocate(T* pointer, size_t) { ::operator delete(pointer, kAlignment); }
  bool operator==(const TableAllocator&) const { return true; }
  bool operator!=(const TableAllocator&) const { return false; }
};

}  // namespace mesh_toolbox

#endif  // MESH_TOOLBOX_TABLE_ALLOCATOR_H_
