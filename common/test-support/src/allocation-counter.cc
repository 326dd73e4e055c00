// Benchmark and test support: the bytes the process holds through malloc, and their peak.
#include "test-support/allocation-counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SOLVO_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SOLVO_SANITIZED 1
#endif
#if defined(__GLIBC__) && !defined(SOLVO_SANITIZED)
#define SOLVO_COUNT_ALLOCATIONS 1
#endif

#ifdef SOLVO_COUNT_ALLOCATIONS
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* pointer);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}
#endif

namespace test_support {
namespace {

std::atomic<int64_t> current_bytes{0};
std::atomic<int64_t> peak_bytes{0};

// Plain thread-local values: reading them allocates nothing.
thread_local int64_t allocations_until_failure = 0;
thread_local bool allocation_failed = false;

#ifdef SOLVO_COUNT_ALLOCATIONS
// Whether the allocation about to be made is the one that must fail.
bool FailsNow() {
  if (allocations_until_failure == 0) return false;
  if (--allocations_until_failure != 0) return false;
  allocation_failed = true;
  errno = ENOMEM;  // as the C library's allocator says it, which its own callers rely on
  return true;
}

void Count(void* pointer) {
  if (pointer == nullptr) return;
  const int64_t size = static_cast<int64_t>(malloc_usable_size(pointer));
  const int64_t now = current_bytes.fetch_add(size, std::memory_order_relaxed) + size;
  int64_t peak = peak_bytes.load(std::memory_order_relaxed);
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
}

void Uncount(void* pointer) {
  if (pointer == nullptr) return;
  current_bytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(pointer)),
                          std::memory_order_relaxed);
}
#endif

}  // namespace

bool AllocationCounter::Available() {
#ifdef SOLVO_COUNT_ALLOCATIONS
  return true;
#else
  return false;
#endif
}

int64_t AllocationCounter::Current() { return current_bytes.load(); }
int64_t AllocationCounter::Peak() { return peak_bytes.load(); }
void AllocationCounter::ResetPeak() { peak_bytes.store(current_bytes.load()); }

void AllocationCounter::FailNthAllocation(int64_t n) {
  allocations_until_failure = n;
  allocation_failed = false;
}

bool AllocationCounter::AllocationFailed() { return allocation_failed; }

}  // namespace test_support

#ifdef SOLVO_COUNT_ALLOCATIONS
extern "C" {

void* malloc(size_t size) {
  if (test_support::FailsNow()) return nullptr;
  void* pointer = __libc_malloc(size);
  test_support::Count(pointer);
  return pointer;
}

void free(void* pointer) {
  test_support::Uncount(pointer);
  __libc_free(pointer);
}

void* calloc(size_t count, size_t size) {
  if (test_support::FailsNow()) return nullptr;
  void* pointer = __libc_calloc(count, size);
  test_support::Count(pointer);
  return pointer;
}

void* realloc(void* pointer, size_t size) {
  if (size > 0 && test_support::FailsNow()) return nullptr;
  const int64_t old_size =
      pointer != nullptr ? static_cast<int64_t>(malloc_usable_size(pointer)) : 0;
  void* moved = __libc_realloc(pointer, size);
  if (moved != nullptr || size == 0) {
    test_support::current_bytes.fetch_sub(old_size, std::memory_order_relaxed);
    test_support::Count(moved);
  }
  return moved;
}

void* memalign(size_t alignment, size_t size) {
  if (test_support::FailsNow()) return nullptr;
  void* pointer = __libc_memalign(alignment, size);
  test_support::Count(pointer);
  return pointer;
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** result, size_t alignment, size_t size) {
  void* pointer = memalign(alignment, size);
  if (pointer == nullptr) return 12;  // ENOMEM
  *result = pointer;
  return 0;
}

}  // extern "C"
#endif
