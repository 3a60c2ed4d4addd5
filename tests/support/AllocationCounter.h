#pragma once

#include <cstddef>

/** Counts heap allocations made on the calling thread, to prove that real-time code
    allocates nothing.

    Linking AllocationCounter.cpp into a test binary replaces every global operator new
    and operator delete (plain, array, nothrow, aligned, sized). With glibc and no
    sanitizer it also replaces malloc, calloc, realloc, free and the aligned C allocators,
    because the framework's containers (HeapBlock, AudioBuffer, Array) allocate with the
    C functions, not with new. Under AddressSanitizer and friends the sanitizer owns the C
    allocator, so only operator new and delete are counted there.

    The counts are per thread and always running; a scope reads them on entry and reports
    the difference, so scopes nest and other threads never disturb them.

    @code
    quorvane::test::ScopedAllocationCounter allocations;
    processor.processBlock (buffer, midi);
    EXPECT_EQ (allocations.allocations(), 0u);
    @endcode */
namespace quorvane::test
{

/** Heap allocations and releases made on the calling thread since it started. */
std::size_t thread_allocation_count() noexcept;
std::size_t thread_deallocation_count() noexcept;

/** True when the C allocator (malloc and friends) is counted as well as operator new. */
bool counts_c_allocations() noexcept;

/** Counts what the current thread allocates and releases while the scope lives. */
class ScopedAllocationCounter
{
public:
    ScopedAllocationCounter() noexcept;

    ScopedAllocationCounter (const ScopedAllocationCounter&) = delete;
    ScopedAllocationCounter& operator= (const ScopedAllocationCounter&) = delete;

    /** Allocations (operator new of any kind; malloc, calloc, realloc, aligned C
        allocations where counted) made on this thread since construction. */
    std::size_t allocations() const noexcept;

    /** Releases of a non-null pointer made on this thread since construction. */
    std::size_t deallocations() const noexcept;

private:
    std::size_t allocations_at_start;
    std::size_t deallocations_at_start;
};

} // namespace quorvane::test
