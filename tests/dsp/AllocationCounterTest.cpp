#include "AllocationCounter.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <vector>

// Tests of the allocation counter itself: a proof of "allocates nothing" is only as good as
// the counter's ability to see an allocation.

namespace
{
// Calls through a volatile pointer cannot be elided by the optimiser as a new-expression can.
void* volatile sink = nullptr;

struct alignas (64) OverAligned
{
    float data[16];
};
} // namespace

using quorvane::test::ScopedAllocationCounter;

TEST (AllocationCounter, CountsEveryFormOfOperatorNewAndDelete)
{
    ScopedAllocationCounter counter;
    EXPECT_EQ (counter.allocations(), 0u);

    sink = ::operator new (16);
    ::operator delete (sink);
    EXPECT_EQ (counter.allocations(), 1u);
    EXPECT_EQ (counter.deallocations(), 1u);

    sink = ::operator new[] (16);
    ::operator delete[] (sink);
    sink = ::operator new (16, std::nothrow);
    ::operator delete (sink, std::nothrow);
    sink = ::operator new[] (16, std::nothrow);
    ::operator delete[] (sink, std::nothrow);
    EXPECT_EQ (counter.allocations(), 4u);
    EXPECT_EQ (counter.deallocations(), 4u);

    sink = ::operator new (64, std::align_val_t { 64 });
    EXPECT_EQ (reinterpret_cast<std::uintptr_t> (sink) % 64, 0u);
    ::operator delete (sink, std::align_val_t { 64 });
    sink = ::operator new[] (256, std::align_val_t { 256 });
    EXPECT_EQ (reinterpret_cast<std::uintptr_t> (sink) % 256, 0u);
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

    EXPECT_EQ (counter.allocations(), 10u);
    EXPECT_EQ (counter.deallocations(), 10u);

    // Releasing nothing is not counted.
    ::operator delete (nullptr);
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
    EXPECT_EQ (reinterpret_cast<std::uintptr_t> (aligned) % 32, 0u);
    std::free (aligned);
    EXPECT_EQ (counter.allocations(), 5u);
    EXPECT_EQ (counter.deallocations(), 4u);

    // The framework's containers allocate with malloc: they are seen too.
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

    std::size_t other_thread_allocations = 0;
    {
        ScopedAllocationCounter inner;

        std::thread worker ([&other_thread_allocations]
        {
            ScopedAllocationCounter worker_counter;
            for (int i = 0; i < 5; ++i)
            {
                sink = ::operator new (8);
                ::operator delete (sink);
            }
            other_thread_allocations = worker_counter.allocations();
        });

        // Starting a thread allocates on this one; what the worker does is not counted here.
        const auto after_start = inner.allocations();
        worker.join();
        EXPECT_EQ (other_thread_allocations, 5u);

        sink = ::operator new (8);
        ::operator delete (sink);
        EXPECT_EQ (inner.allocations(), after_start + 1);
    }

    EXPECT_GE (outer.allocations(), 2u);
}

TEST (AllocationCounter, NothingAllocatedMeansZero)
{
    ScopedAllocationCounter counter;
    int local = 3;
    sink = &local;
    EXPECT_EQ (counter.allocations(), 0u);
    EXPECT_EQ (counter.deallocations(), 0u);
}
