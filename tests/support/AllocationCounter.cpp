#include "AllocationCounter.h"

#include <cstdlib>

#if defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
  #define QUORVANE_SANITIZED_ALLOCATOR 1
 #endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define QUORVANE_SANITIZED_ALLOCATOR 1
#endif

#if defined(__GLIBC__) && ! defined(QUORVANE_SANITIZED_ALLOCATOR)
 #define QUORVANE_COUNT_ALLOCATIONS 1
#else
 #define QUORVANE_COUNT_ALLOCATIONS 0
#endif

namespace
{
// A plain integer with constant initialisation: safe to touch from inside malloc at any
// time in a thread's life.
thread_local std::size_t call_count = 0;
}

#if QUORVANE_COUNT_ALLOCATIONS
// glibc's own entry points; libstdc++'s operator new comes through the functions below.
extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);

void* malloc (size_t size) { ++call_count; return __libc_malloc (size); }
void* calloc (size_t count, size_t size) { ++call_count; return __libc_calloc (count, size); }
void* realloc (void* pointer, size_t size) { ++call_count; return __libc_realloc (pointer, size); }
void* memalign (size_t alignment, size_t size) { ++call_count; return __libc_memalign (alignment, size); }
void* aligned_alloc (size_t alignment, size_t size) { ++call_count; return __libc_memalign (alignment, size); }

void free (void* pointer)
{
    if (pointer != nullptr)
        ++call_count;

    __libc_free (pointer);
}

int posix_memalign (void** result, size_t alignment, size_t size)
{
    if (alignment == 0 || alignment % sizeof (void*) != 0 || (alignment & (alignment - 1)) != 0)
        return 22; // EINVAL

    ++call_count;
    *result = __libc_memalign (alignment, size);
    return *result != nullptr ? 0 : 12; // ENOMEM
}
}
#endif

namespace quorvane::test
{
ScopedAllocationCounter::ScopedAllocationCounter() noexcept : calls_at_start (call_count) {}
std::size_t ScopedAllocationCounter::calls() const noexcept { return call_count - calls_at_start; }
bool ScopedAllocationCounter::counting() noexcept { return QUORVANE_COUNT_ALLOCATIONS != 0; }
} // namespace quorvane::test
