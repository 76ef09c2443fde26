#include "heap_counter.h"

#include <atomic>
#include <cstddef>

// Every allocation from the C heap, by any library and any thread: the program's own and
// the audio library's, whose mixing thread runs beside the timed code. The sanitizers
// replace these functions themselves, so their build counts nothing.
#if defined(__SANITIZE_ADDRESS__)
#define FERROX_HEAP_COUNTED 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FERROX_HEAP_COUNTED 0
#endif
#endif
#ifndef FERROX_HEAP_COUNTED
#define FERROX_HEAP_COUNTED 1
#endif

namespace {

std::atomic<long> count{0};

}  // namespace

namespace heap_counter {

long allocations() { return FERROX_HEAP_COUNTED ? count.load(std::memory_order_relaxed) : -1; }

}  // namespace heap_counter

#if FERROX_HEAP_COUNTED
// glibc's own entry points, which its malloc and kin call.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) {
  count.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
  count.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
  count.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  count.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  count.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  count.fetch_add(1, std::memory_order_relaxed);
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}
}
#endif
