#include "AllocationCounter.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <vector>

// A proof of "allocates nothing" is only as good as the counter's ability to see an allocation.

namespace
{
void* volatile sink = nullptr; // calls through it cannot be elided as a new-expression can

struct alignas (64) OverAligned { float data[16]; };

bool aligned_to (void* p, std::uintptr_t alignment) { return reinterpret_cast<std::uintptr_t> (p) % alignment == 0; }
} // namespace

using quorvane::test::ScopedAllocationCounter;

TEST (AllocationCounter, CountsEveryFormOfOperatorNewAndDelete)
{
    ScopedAllocationCounter counter;
    EXPECT_EQ (counter.allocations(), 0u);

    sink = ::operator new (16);
    ::operator delete (sink);
    sink = ::operator new[] (16);
    ::operator delete[] (sink);
    sink = ::operator new (16, std::nothrow);
    ::operator delete (sink, std::nothrow);
    sink = ::operator new[] (16, std::nothrow);
    ::operator delete[] (sink, std::nothrow);
    sink = ::operator new (64, std::align_val_t { 64 });
    EXPECT_TRUE (aligned_to (sink, 64));
    ::operator delete (sink, std::align_val_t { 64 });
    sink = ::operator new[] (256, std::align_val_t { 256 });
    EXPECT_TRUE (aligned_to (sink, 256));
    ::operator delete[] (sink, 256, std::align_val_t { 256 });
    sink = ::operator new (64, std::align_val_t { 128 }, std::nothrow);
    ::operator delete (sink, std::align_val_t { 128 }, std::nothrow);
    EXPECT_EQ (counter.allocations(), 7u);
    EXPECT_EQ (counter.deallocations(), 7u);

    {
        auto aligned = std::make_unique<OverAligned>();
        sink = aligned.get();
        auto values = std::make_unique<std::vector<int>> (100);
        sink = values.get();
    }

    ::operator delete (nullptr); // releasing nothing is not counted
    EXPECT_EQ (counter.allocations(), 10u);
    EXPECT_EQ (counter.deallocations(), 10u);
}

TEST (AllocationCounter, CountsTheCAllocatorWhereItIsReplaced)
{
    if (! quorvane::test::counts_c_allocations())
        GTEST_SKIP() << "The C allocator belongs to a sanitizer in this build";

    ScopedAllocationCounter counter;
    sink = std::malloc (10);
    sink = std::realloc (sink, 1000);
    std::free (sink);
    sink = std::calloc (4, 4);
    std::free (sink);
    sink = std::aligned_alloc (64, 128);
    std::free (sink);
    void* aligned = nullptr;
    ASSERT_EQ (posix_memalign (&aligned, 32, 100), 0);
    EXPECT_TRUE (aligned_to (aligned, 32));
    std::free (aligned);
    EXPECT_EQ (counter.allocations(), 5u);
    EXPECT_EQ (counter.deallocations(), 4u);

    // The framework's containers allocate with malloc.
    ScopedAllocationCounter framework;
    {
        juce::HeapBlock<float> block (256);
        sink = block.get();
    }
    EXPECT_EQ (framework.allocations(), 1u);
    EXPECT_EQ (framework.deallocations(), 1u);
}

TEST (AllocationCounter, ScopesNestAndCountOnlyTheirOwnThread)
{
    ScopedAllocationCounter outer;
    sink = ::operator new (8);
    ::operator delete (sink);
    std::size_t worker_allocations = 0;

    {
        ScopedAllocationCounter inner;
        std::thread worker ([&worker_allocations]
        {
            ScopedAllocationCounter counter;
            for (int i = 0; i < 5; ++i)
                ::operator delete (sink = ::operator new (8));
            worker_allocations = counter.allocations();
        });

        const auto after_start = inner.allocations(); // starting a thread allocates here
        worker.join();
        EXPECT_EQ (worker_allocations, 5u);
        ::operator delete (sink = ::operator new (8));
        EXPECT_EQ (inner.allocations(), after_start + 1);
    }

    EXPECT_GE (outer.allocations(), 2u);
}
