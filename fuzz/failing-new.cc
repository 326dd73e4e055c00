// Memory that runs out on purpose in the fuzz targets: a replacement of operator new.
//
// The sanitizers' allocators abort instead of failing, so the failures are made here, above
// them: every form of operator new and delete is replaced (a form left out would bring in the
// sanitizer's own definitions of all of them), and the memory comes from malloc, which the
// sanitizers still watch.
#include "failing-new.h"

#include <cstdlib>
#include <new>

namespace solvo_fuzz {
namespace {

thread_local int64_t news_until_failure = 0;
thread_local bool new_failed = false;

bool FailsNow(size_t size) {
  if (size > kLargestRequest) return true;
  if (news_until_failure == 0 || --news_until_failure != 0) return false;
  new_failed = true;
  return true;
}

void* Allocate(size_t size, size_t alignment) {
  if (FailsNow(size)) return nullptr;
  if (size == 0) size = 1;
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  // aligned_alloc wants a multiple of the alignment.
  return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* AllocateOrThrow(size_t size, size_t alignment) {
  void* memory = Allocate(size, alignment);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

void FailNthNew(int64_t n) {
  news_until_failure = n;
  new_failed = false;
}

bool NewFailed() { return new_failed; }

}  // namespace solvo_fuzz

using solvo_fuzz::Allocate;
using solvo_fuzz::AllocateOrThrow;

constexpr size_t kPlain = alignof(std::max_align_t);

void* operator new(size_t size) { return AllocateOrThrow(size, kPlain); }
void* operator new[](size_t size) { return AllocateOrThrow(size, kPlain); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size, kPlain); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size, kPlain); }
void* operator new(size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<size_t>(alignment));
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<size_t>(alignment));
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete(void* memory, size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t, std::align_val_t) noexcept { std::free(memory); }
