#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

// The C allocator is replaced only where glibc offers its own entry points to forward to
// and no sanitizer has replaced it already.
#if defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
  #define QUORVANE_SANITIZED_ALLOCATOR 1
 #endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define QUORVANE_SANITIZED_ALLOCATOR 1
#endif

#if defined(__GLIBC__) && ! defined(QUORVANE_SANITIZED_ALLOCATOR)
 #define QUORVANE_COUNT_C_ALLOCATIONS 1
#else
 #define QUORVANE_COUNT_C_ALLOCATIONS 0
#endif

namespace
{
    // Plain integers with constant initialisation: safe to touch from inside malloc at any
    // time in a thread's life, with no dynamic TLS set-up that could allocate itself.
    thread_local std::size_t allocation_count = 0;
    thread_local std::size_t deallocation_count = 0;

    inline void count_allocation() noexcept    { ++allocation_count; }
    inline void count_deallocation (void* pointer) noexcept
    {
        if (pointer != nullptr)
            ++deallocation_count;
    }
}

#if QUORVANE_COUNT_C_ALLOCATIONS
extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
    void __libc_free (void*);
}

namespace
{
    // Uncounted: operator new counts itself and then takes memory from here.
    void* raw_allocate (std::size_t size) noexcept                             { return __libc_malloc (size); }
    void* raw_allocate_aligned (std::size_t size, std::size_t alignment) noexcept { return __libc_memalign (alignment, size); }
    void raw_free (void* pointer) noexcept                                      { __libc_free (pointer); }
}

extern "C"
{
    void* malloc (size_t size)
    {
        count_allocation();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size)
    {
        count_allocation();
        return __libc_calloc (count, size);
    }

    void* realloc (void* pointer, size_t size)
    {
        count_allocation();
        return __libc_realloc (pointer, size);
    }

    void free (void* pointer)
    {
        count_deallocation (pointer);
        __libc_free (pointer);
    }

    void* memalign (size_t alignment, size_t size)
    {
        count_allocation();
        return __libc_memalign (alignment, size);
    }

    void* aligned_alloc (size_t alignment, size_t size)
    {
        count_allocation();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, size_t alignment, size_t size)
    {
        // The checks of POSIX: a power of two and a multiple of sizeof (void*).
        if (alignment % sizeof (void*) != 0 || (alignment & (alignment - 1)) != 0 || alignment == 0)
            return 22; // EINVAL

        count_allocation();
        void* pointer = __libc_memalign (alignment, size);

        if (pointer == nullptr)
            return 12; // ENOMEM

        *result = pointer;
        return 0;
    }
}
#else
namespace
{
    void* raw_allocate (std::size_t size) noexcept { return std::malloc (size); }

    void* raw_allocate_aligned (std::size_t size, std::size_t alignment) noexcept
    {
        void* pointer = nullptr;
        return posix_memalign (&pointer, alignment < sizeof (void*) ? sizeof (void*) : alignment, size) == 0 ? pointer : nullptr;
    }

    void raw_free (void* pointer) noexcept { std::free (pointer); }
}
#endif

namespace
{
    void* counted_new (std::size_t size, std::size_t alignment, bool throws)
    {
        count_allocation();

        if (size == 0)
            size = 1;

        for (;;)
        {
            void* pointer = alignment <= alignof (std::max_align_t) ? raw_allocate (size)
                                                                     : raw_allocate_aligned (size, alignment);
            if (pointer != nullptr)
                return pointer;

            if (auto handler = std::get_new_handler())
            {
                handler();
                continue;
            }

            if (throws)
                throw std::bad_alloc();

            return nullptr;
        }
    }

    void* counted_new_nothrow (std::size_t size, std::size_t alignment) noexcept
    {
        try
        {
            return counted_new (size, alignment, false);
        }
        catch (...)
        {
            return nullptr; // a new-handler that throws
        }
    }

    void counted_delete (void* pointer) noexcept
    {
        count_deallocation (pointer);
        raw_free (pointer);
    }

    constexpr std::size_t plain = alignof (std::max_align_t);
    std::size_t to_size (std::align_val_t alignment) noexcept { return static_cast<std::size_t> (alignment); }
}

// Every replaceable global allocation function ([new.delete]).
void* operator new (std::size_t size)                                                  { return counted_new (size, plain, true); }
void* operator new[] (std::size_t size)                                                { return counted_new (size, plain, true); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept                  { return counted_new_nothrow (size, plain); }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept                { return counted_new_nothrow (size, plain); }
void* operator new (std::size_t size, std::align_val_t alignment)                      { return counted_new (size, to_size (alignment), true); }
void* operator new[] (std::size_t size, std::align_val_t alignment)                    { return counted_new (size, to_size (alignment), true); }
void* operator new (std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept   { return counted_new_nothrow (size, to_size (alignment)); }
void* operator new[] (std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept { return counted_new_nothrow (size, to_size (alignment)); }

void operator delete (void* pointer) noexcept                                          { counted_delete (pointer); }
void operator delete[] (void* pointer) noexcept                                        { counted_delete (pointer); }
void operator delete (void* pointer, std::size_t) noexcept                             { counted_delete (pointer); }
void operator delete[] (void* pointer, std::size_t) noexcept                           { counted_delete (pointer); }
void operator delete (void* pointer, const std::nothrow_t&) noexcept                   { counted_delete (pointer); }
void operator delete[] (void* pointer, const std::nothrow_t&) noexcept                 { counted_delete (pointer); }
void operator delete (void* pointer, std::align_val_t) noexcept                        { counted_delete (pointer); }
void operator delete[] (void* pointer, std::align_val_t) noexcept                      { counted_delete (pointer); }
void operator delete (void* pointer, std::size_t, std::align_val_t) noexcept           { counted_delete (pointer); }
void operator delete[] (void* pointer, std::size_t, std::align_val_t) noexcept         { counted_delete (pointer); }
void operator delete (void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { counted_delete (pointer); }
void operator delete[] (void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { counted_delete (pointer); }

namespace quorvane::test
{

std::size_t thread_allocation_count() noexcept   { return allocation_count; }
std::size_t thread_deallocation_count() noexcept { return deallocation_count; }
bool counts_c_allocations() noexcept             { return QUORVANE_COUNT_C_ALLOCATIONS != 0; }

ScopedAllocationCounter::ScopedAllocationCounter() noexcept
    : allocations_at_start (allocation_count),
      deallocations_at_start (deallocation_count)
{
}

std::size_t ScopedAllocationCounter::allocations() const noexcept   { return allocation_count - allocations_at_start; }
std::size_t ScopedAllocationCounter::deallocations() const noexcept { return deallocation_count - deallocations_at_start; }

} // namespace quorvane::test
