#pragma once

#include <cstddef>

namespace quorvane::test
{

/** Counts the heap calls (allocations and releases) the calling thread makes while it
    lives. Linking AllocationCounter.cpp replaces glibc's C allocator, through which the
    framework's containers and operator new allocate. Under a sanitizer, which owns the
    allocator, nothing is counted: `counting()` says so. */
class ScopedAllocationCounter
{
public:
    ScopedAllocationCounter() noexcept;

    std::size_t calls() const noexcept;

    static bool counting() noexcept;

private:
    std::size_t calls_at_start;
};

} // namespace quorvane::test
