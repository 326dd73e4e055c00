// Storage for the simplifier's large tables, which it reads at random.
#ifndef MESH_TOOLBOX_TABLE_ALLOCATOR_H_
#define MESH_TOOLBOX_TABLE_ALLOCATOR_H_

#include <sys/mman.h>

#include <cstddef>
#include <new>

namespace mesh_toolbox {

// Cache-line-aligned storage, so that the heap can place sibling entries in one line. Tables of
// several megabytes are read at random: they go on huge pages where the system offers them, so
// that reaching an entry does not also miss the address translation cache.
template <typename T>
struct TableAllocator {
  using value_type = T;
  static constexpr size_t kHugePage = size_t{2} << 20;
  TableAllocator() = default;
  template <typename U>
  explicit TableAllocator(const TableAllocator<U>&) {}
  T* allocate(size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes < kHugePage) {
      return static_cast<T*>(::operator new (bytes, std::align_val_t{64}));
    }
    void* pointer = ::operator new ((bytes + kHugePage - 1) / kHugePage * kHugePage,
                                    std::align_val_t{kHugePage});
#ifdef MADV_HUGEPAGE
    madvise(pointer, bytes, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(pointer);
  }
  void deallocate(T* pointer, size_t n) {
    ::operator delete (pointer,
                       std::align_val_t{n * sizeof(T) < kHugePage ? size_t{64} : kHugePage});
  }
  bool operator==(const TableAllocator&) const { return true; }
  bool operator!=(const TableAllocator&) const { return false; }
};

}  // namespace mesh_toolbox

#endif  // MESH_TOOLBOX_TABLE_ALLOCATOR_H_
